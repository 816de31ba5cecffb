#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "liberacao/ChavePublicaEd25519.h"
#include "liberacao/ConferenciaLiberacao.h"
#include "liberacao/ManifestoLiberacao.h"
#include "net/ClienteHttp.h"
#include "net/DownloadHttp.h"
#include "net/Endpoints.h"
#include "platform/Platform.h"

#include <optional>
#include <tuple>
#include <utility>

namespace orvalis {

namespace {

// A manifest lists a few dozen packages in some kilobytes and a signature is 90 bytes:
// nothing larger is held in memory.
constexpr qsizetype kMaximoManifesto = 1024 * 1024;
constexpr qsizetype kMaximoAssinatura = 1024;

// One file of the release folder into memory, with the packages' request profile. False
// for every failure, a body above `limite` included.
bool BaixarParaMemoria(const QString& url, qsizetype limite, QByteArray* corpo) {
    corpo->clear();
    try {
        ClienteHttp cliente;
        return cliente.Obter(url, [&](const char* dados, size_t tamanho) {
            if (static_cast<size_t>(limite - corpo->size()) < tamanho) return false;
            corpo->append(dados, static_cast<qsizetype>(tamanho));
            return true;
        });
    } catch (...) {
        return false;
    }
}

[[noreturn]] void Recusar(TfrmPrincipal& janela, const QString& linha) {
    janela.AdicionarLog(linha);
    janela.itDownloadAplicativo = false;
    Abortar();
}

}  // namespace

void TfrmPrincipal::VerificarLiberacao() {
    liberacaoConferida_.reset();
    const QString textoChave = Endpoints::Atuais().chavePublica;
    if (textoChave.isEmpty()) return;
    AdicionarLog(QStringLiteral("   - Conferindo a assinatura da liberação"));
    // A key that is configured but unusable refuses the release: it must never turn the
    // check off.
    const std::optional<ChavePublicaEd25519> chave = ChavePublicaEd25519::DeTexto(textoChave);
    if (!chave) Recusar(*this, QStringLiteral("   - Erro: Chave pública do fornecedor inválida"));

    QByteArray manifesto;
    QByteArray assinatura;
    for (const auto& [nome, limite, destino] :
         {std::tuple(ManifestoLiberacao::kArquivo, kMaximoManifesto, &manifesto),
          std::tuple(ManifestoLiberacao::kArquivoAssinatura, kMaximoAssinatura, &assinatura)}) {
        // As a package would be, and never over plain HTTP after a refused certificate.
        if (!BaixarParaMemoria(UrlDoPacote(nome), limite, destino)) {
            Recusar(*this, QStringLiteral("   - Erro: Falha no download do ") + nome);
        }
    }
    std::optional<ManifestoLiberacao> lido;
    switch (ConferenciaLiberacao::ConferirManifesto(*chave, manifesto, assinatura, itVersaoSite,
                                                    &lido)) {
        case ConferenciaLiberacao::Manifesto::kAceito:
            break;
        case ConferenciaLiberacao::Manifesto::kAssinaturaInvalida:
            Recusar(*this, QStringLiteral("   - Erro: Assinatura da liberação inválida"));
        case ConferenciaLiberacao::Manifesto::kManifestoInvalido:
            Recusar(*this, QStringLiteral("   - Erro: Manifesto da liberação inválido"));
        case ConferenciaLiberacao::Manifesto::kVersaoDiferente:
            Recusar(*this, QStringLiteral("   - Erro: Manifesto da liberação é da versão ") +
                               lido->versao() + QStringLiteral(" e não da ") + itVersaoSite);
    }
    liberacaoConferida_ = std::make_unique<ManifestoLiberacao>(std::move(*lido));
    AdicionarLog(QStringLiteral("   - OK"));
}

bool TfrmPrincipal::BaixarPacoteConferido(const QString& url, const QString& nomeArquivo,
                                          const QString& arquivoLocal,
                                          const ProgressRoutine& progresso) {
    if (Endpoints::Atuais().chavePublica.isEmpty()) {
        return BaixarArquivoHttp(plataforma_, url, arquivoLocal, ClienteHttp::LimitesEmVigor(),
                                 progresso);
    }
    if (liberacaoConferida_ == nullptr || liberacaoConferida_->Procurar(nomeArquivo) == nullptr) {
        AdicionarLog(QStringLiteral("   - Erro: O pacote ") + nomeArquivo +
                     QStringLiteral(" não consta do manifesto da liberação"));
        return false;
    }
    // The package is checked in the download's temporary file, so that a refused one never
    // takes the place of the file the destination held.
    return BaixarArquivoHttp(
        plataforma_, url, arquivoLocal, ClienteHttp::LimitesEmVigor(), progresso,
        [&](const QString& recebido) {
            const ConferenciaLiberacao::Pacote resultado = ConferenciaLiberacao::ConferirArquivo(
                plataforma_, *liberacaoConferida_, nomeArquivo, recebido);
            if (resultado == ConferenciaLiberacao::Pacote::kDiferente) {
                AdicionarLog(QStringLiteral("   - Erro: O pacote ") + nomeArquivo +
                             QStringLiteral(" não confere com o manifesto da liberação"));
            }
            return resultado == ConferenciaLiberacao::Pacote::kConfere;
        });
}

}  // namespace orvalis
