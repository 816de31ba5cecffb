// orvalisPublicar: the vendor's tool that signs a release of orvalis Empresa.
//
//   orvalisPublicar gerar-chave ARQUIVO
//   orvalisPublicar assinar ARQUIVO-CHAVE PASTA VERSAO
//
// A vendor tool for Linux or any POSIX machine, not the Windows program: it takes native
// paths on its command line and uses them directly for the private key. The release
// folder is read and written through the platform layer (the native path in its Windows
// form, Z:\... unless ORVALIS_UNIDADES maps another drive), by the same code that the
// test stand-in of the vendor signs with. Exit status: 0 done, 1 an error (one line on
// standard error), 2 a wrong command line (the usage text on standard error).
#include "app/Erros.h"
#include "liberacao/ChavePrivadaEd25519.h"
#include "liberacao/ManifestoLiberacao.h"
#include "liberacao/PublicadorLiberacao.h"
#include "platform/Platform.h"
#include "publicar/ArquivoChavePrivada.h"

#include <QString>

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

namespace {

using orvalis::ErroOrvalis;

const char* const kUso =
    "Uso:\n"
    "  orvalisPublicar gerar-chave ARQUIVO\n"
    "      Grava uma nova chave privada Ed25519 em ARQUIVO (PEM, legível só pelo dono;\n"
    "      nunca sobre um arquivo existente) e mostra a chave pública, que vai para o\n"
    "      atualizador em -DORVALIS_CHAVE_PUBLICA=... ou em chave_publica de [fornecedor].\n"
    "  orvalisPublicar assinar ARQUIVO-CHAVE PASTA VERSAO\n"
    "      Grava orvalisLiberacao.ini e orvalisLiberacao.sig em PASTA: a versão VERSAO\n"
    "      (a liberação como o FTP a publica, sem \".ERP\") e o tamanho e o SHA-256 de cada\n"
    "      arquivo da pasta, assinados com a chave de ARQUIVO-CHAVE. Publique os dois\n"
    "      arquivos junto com os pacotes.\n";

void Escrever(FILE* saida, const QString& texto) {
    const QByteArray bytes = texto.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), saida);
    std::fflush(saida);
}

QString Texto(const char* argumento) {
    return QString::fromLocal8Bit(argumento);
}

int GerarChave(const std::string& arquivo) {
    const orvalis::ChavePrivadaEd25519 chave = orvalis::ChavePrivadaEd25519::Gerar();
    QByteArray pem = chave.Pem();
    orvalis::ArquivoChavePrivada::Criar(arquivo, pem);
    pem.fill('\0');
    Escrever(stdout, chave.Publica().Texto() + QLatin1Char('\n'));
    return 0;
}

int Assinar(const std::string& arquivoChave, const std::string& pasta, const QString& versao) {
    const orvalis::ChavePrivadaEd25519 chave = orvalis::ArquivoChavePrivada::Ler(arquivoChave);
    orvalis::PublicadorLiberacao::ConferirVersao(versao);
    std::error_code erro;
    if (!std::filesystem::is_directory(pasta, erro)) {
        throw ErroOrvalis(QStringLiteral("A pasta \"%1\" não existe.").arg(Texto(pasta.c_str())));
    }
    // The platform takes the folder in its Windows form, without a closing separator.
    std::string absoluta = std::filesystem::absolute(pasta).lexically_normal().string();
    while (absoluta.size() > 1 && absoluta.back() == '/') absoluta.pop_back();
    orvalis::Platform& plataforma = orvalis::Platform::Default();
    const orvalis::ManifestoLiberacao manifesto = orvalis::PublicadorLiberacao::Assinar(
        plataforma, plataforma.WindowsPath(absoluta), chave, versao);
    Escrever(stdout,
             QStringLiteral("Liberação %1 assinada em %2: %3 arquivos no manifesto.\n")
                 .arg(versao, Texto(pasta.c_str()), QString::number(manifesto.pacotes().size())));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string comando = argc > 1 ? argv[1] : "";
    try {
        if (comando == "gerar-chave" && argc == 3) return GerarChave(argv[2]);
        if (comando == "assinar" && argc == 5) return Assinar(argv[2], argv[3], Texto(argv[4]));
    } catch (const ErroOrvalis& erro) {
        Escrever(stderr, QStringLiteral("orvalisPublicar: ") + erro.mensagem() + QLatin1Char('\n'));
        return 1;
    } catch (const std::exception& erro) {
        Escrever(stderr, QStringLiteral("orvalisPublicar: ") + QString::fromLocal8Bit(erro.what()) +
                             QLatin1Char('\n'));
        return 1;
    }
    std::fputs(kUso, stderr);
    return 2;
}
