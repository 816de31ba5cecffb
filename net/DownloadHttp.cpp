#include "net/DownloadHttp.h"

#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "net/EspacoLivre.h"
#include "platform/Platform.h"

#include <QRandomGenerator>

#include <cstdint>
#include <memory>
#include <vector>

namespace orvalis {

namespace {

// The network hands over pieces of at most a TLS record; the file gets fewer, larger
// writes.
constexpr size_t kTamanhoEscrita = 1024 * 1024;
constexpr int kTentativasNome = 16;

// Whether `tamanho` more bytes can go to the destination's drive: a body without end
// stops there. A drive whose free space cannot be read takes nothing more.
bool CabeNaUnidade(Platform& plataforma, const QString& pasta, uint64_t tamanho) {
    uint64_t livres = 0;
    return plataforma.GetDiskFreeSpaceEx(pasta, &livres) && DeixaLivre(livres, tamanho);
}

QString MensagemCriacao(Platform& plataforma, const QString& destino, uint32_t codigo) {
    QString mensagem = QStringLiteral("Não foi possível criar o arquivo \"%1\".").arg(destino);
    const QString motivo = plataforma.SystemErrorMessage(codigo);
    if (!motivo.isEmpty()) mensagem += QLatin1Char(' ') + motivo;
    return mensagem;
}

// A new file in the destination's folder, named after the destination. Its name ends
// in ".baixando", never in ".part": a leftover "<name>.part" means a failed download
// to the package step, and this file is never left over.
std::unique_ptr<WritableFile> CriarTemporario(Platform& plataforma, const QString& destino,
                                              QString* temporario) {
    for (int tentativa = 0;; ++tentativa) {
        *temporario = QStringLiteral("%1.%2.baixando")
                          .arg(destino)
                          .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        std::unique_ptr<WritableFile> arquivo =
            plataforma.NewWritableFile(*temporario, CreateMode::kCreateNew);
        if (arquivo != nullptr) return arquivo;
        const uint32_t codigo = plataforma.LastError();
        const bool nomeOcupado =
            codigo == winerror::kFileExists || codigo == winerror::kAlreadyExists;
        if (!nomeOcupado || tentativa + 1 == kTentativasNome) {
            throw ErroOrvalis(MensagemCriacao(plataforma, destino, codigo));
        }
    }
}

}  // namespace

bool BaixarArquivoHttp(Platform& plataforma, const QString& url, const QString& destino) {
    return BaixarArquivoHttp(plataforma, url, destino, ClienteHttp::LimitesEmVigor());
}

bool BaixarArquivoHttp(Platform& plataforma, const QString& url, const QString& destino,
                       const ClienteHttp::Limites& limites, const ProgressRoutine& progresso,
                       const std::function<bool(const QString& temporario)>& aceitar) {
    QString temporario;
    std::unique_ptr<WritableFile> arquivo = CriarTemporario(plataforma, destino, &temporario);
    bool recebido = false;
    try {
        std::vector<char> pendente;
        pendente.reserve(kTamanhoEscrita);
        ClienteHttp cliente(limites);
        const QString pasta = ExtrairPastaArquivo(destino);
        int64_t total = -1;
        int64_t recebidos = 0;
        cliente.aoConhecerTamanho = [&](int64_t tamanho) {
            total = tamanho;
            if (progresso) progresso(0, total);
        };
        recebido = cliente.Obter(url, [&](const char* dados, size_t tamanho) {
            recebidos += static_cast<int64_t>(tamanho);
            if (progresso && !progresso(recebidos, total)) return false;
            if (pendente.size() + tamanho > kTamanhoEscrita) {
                if (!CabeNaUnidade(plataforma, pasta, pendente.size()) ||
                    !arquivo->Append(pendente.data(), pendente.size())) {
                    return false;
                }
                pendente.clear();
            }
            pendente.insert(pendente.end(), dados, dados + tamanho);
            return true;
        });
        if (recebido && !pendente.empty()) {
            recebido = CabeNaUnidade(plataforma, pasta, pendente.size()) &&
                       arquivo->Append(pendente.data(), pendente.size());
        }
        recebido = arquivo->Close() && recebido;
        arquivo.reset();
        if (recebido && aceitar) recebido = aceitar(temporario);
    } catch (...) {
        arquivo.reset();
        plataforma.DeleteFile(temporario);
        throw;
    }
    if (!recebido) {
        plataforma.DeleteFile(temporario);
        return false;
    }
    if (!plataforma.ReplaceFile(temporario, destino)) {
        const uint32_t codigo = plataforma.LastError();
        plataforma.DeleteFile(temporario);
        throw ErroOrvalis(MensagemCriacao(plataforma, destino, codigo));
    }
    return true;
}

}  // namespace orvalis
