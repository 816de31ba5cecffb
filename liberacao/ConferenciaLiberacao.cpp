#include "liberacao/ConferenciaLiberacao.h"

#include "liberacao/AssinaturaLiberacao.h"
#include "liberacao/ChavePublicaEd25519.h"
#include "liberacao/ResumoSha256.h"
#include "platform/Platform.h"

#include <memory>

namespace orvalis {

ConferenciaLiberacao::Manifesto ConferenciaLiberacao::ConferirManifesto(
    const ChavePublicaEd25519& chave, const QByteArray& manifesto, const QByteArray& assinatura,
    const QString& versao, std::optional<ManifestoLiberacao>* lido) {
    lido->reset();
    const std::optional<QByteArray> bytes = AssinaturaLiberacao::Ler(assinatura);
    if (!bytes || !chave.Verificar(manifesto, *bytes)) return Manifesto::kAssinaturaInvalida;
    *lido = ManifestoLiberacao::Ler(manifesto);
    if (!*lido) return Manifesto::kManifestoInvalido;
    return (*lido)->versao() == versao ? Manifesto::kAceito : Manifesto::kVersaoDiferente;
}

ConferenciaLiberacao::Pacote ConferenciaLiberacao::ConferirArquivo(
    Platform& plataforma, const ManifestoLiberacao& manifesto, const QString& nome,
    const QString& caminho) {
    const ManifestoLiberacao::Pacote* linha = manifesto.Procurar(nome);
    if (linha == nullptr) return Pacote::kSemLinha;
    std::unique_ptr<SequentialFile> arquivo = plataforma.NewSequentialFile(caminho);
    if (arquivo == nullptr) return Pacote::kIlegivel;
    QByteArray resumo;
    uint64_t tamanho = 0;
    const int64_t limite = static_cast<int64_t>(linha->tamanho);
    if (!ResumoSha256::DeArquivo(*arquivo, &resumo, &tamanho, limite)) {
        return tamanho > linha->tamanho ? Pacote::kDiferente : Pacote::kIlegivel;
    }
    return tamanho == linha->tamanho && resumo == linha->sha256 ? Pacote::kConfere
                                                                : Pacote::kDiferente;
}

}  // namespace orvalis
