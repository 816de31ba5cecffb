#include "publicar/ArquivoChavePrivada.h"

#include "app/Erros.h"
#include "platform/Platform.h"
#include "platform/WindowsErrors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvalis {

namespace {

// A PEM Ed25519 key is about 120 bytes; anything this large is not one.
constexpr size_t kMaximoChave = 64 * 1024;

QString Caminho(const std::string& caminho) {
    return QString::fromLocal8Bit(caminho.data(), static_cast<qsizetype>(caminho.size()));
}

QString Motivo(int erro) {
    const QString texto = WindowsErrorText(WindowsErrorFromErrno(erro));
    return texto.isEmpty() ? QString::fromLocal8Bit(std::strerror(erro)) : texto;
}

bool GravarTudo(int fd, const QByteArray& dados) {
    for (qsizetype feito = 0; feito < dados.size();) {
        const ssize_t n =
            write(fd, dados.constData() + feito, static_cast<size_t>(dados.size() - feito));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        feito += n;
    }
    return true;
}

}  // namespace

void ArquivoChavePrivada::Criar(const std::string& caminho, const QByteArray& pem) {
    const int fd =
        open(caminho.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) {
            throw ErroOrvalis(QStringLiteral("O arquivo \"%1\" já existe; a chave não foi gravada "
                                             "(uma chave nunca é gravada sobre outro arquivo).")
                                  .arg(Caminho(caminho)));
        }
        // Creating a file, a missing name can only be one of its folders.
        const QString motivo =
            errno == ENOENT ? WindowsErrorText(winerror::kPathNotFound) : Motivo(errno);
        throw ErroOrvalis(QStringLiteral("Não foi possível criar o arquivo \"%1\": %2")
                              .arg(Caminho(caminho), motivo));
    }
    // The umask may only have taken bits away; this leaves exactly the owner's.
    const bool gravado = fchmod(fd, 0600) == 0 && GravarTudo(fd, pem) && fsync(fd) == 0;
    const int erro = errno;
    const bool fechado = close(fd) == 0;
    if (!gravado || !fechado) {
        unlink(caminho.c_str());
        throw ErroOrvalis(QStringLiteral("Não foi possível gravar a chave em \"%1\": %2")
                              .arg(Caminho(caminho), Motivo(gravado ? errno : erro)));
    }
}

ChavePrivadaEd25519 ArquivoChavePrivada::Ler(const std::string& caminho) {
    const int fd = open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            throw ErroOrvalis(
                QStringLiteral("A chave privada \"%1\" não existe.").arg(Caminho(caminho)));
        }
        throw ErroOrvalis(QStringLiteral("Não foi possível ler a chave privada \"%1\": %2")
                              .arg(Caminho(caminho), Motivo(errno)));
    }
    QByteArray pem;
    char buffer[4096];
    int erro = 0;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) erro = errno;
        if (n <= 0) break;
        pem.append(buffer, n);
        if (static_cast<size_t>(pem.size()) > kMaximoChave) break;
    }
    close(fd);
    if (erro != 0) {
        throw ErroOrvalis(QStringLiteral("Não foi possível ler a chave privada \"%1\": %2")
                              .arg(Caminho(caminho), Motivo(erro)));
    }
    std::optional<ChavePrivadaEd25519> chave = ChavePrivadaEd25519::DePem(pem);
    pem.fill('\0');
    if (!chave) {
        throw ErroOrvalis(
            QStringLiteral("O arquivo \"%1\" não é uma chave privada Ed25519 em PEM sem senha.")
                .arg(Caminho(caminho)));
    }
    return *chave;
}

}  // namespace orvalis
