#include "net/Endpoints.h"
#include "tests/support/ImpressaoQt.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvalis {
namespace {

QString Gravar(const QTemporaryDir& pasta, const QByteArray& texto) {
    const QString caminho = pasta.filePath("fornecedor.ini");
    QFile arquivo(caminho);
    EXPECT_TRUE(arquivo.open(QIODevice::WriteOnly));
    arquivo.write(texto);
    return caminho;
}

TEST(Endpoints, AnIniReplacesOnlyTheKeysItHolds) {
    QTemporaryDir pasta;
    const Endpoints constantes = Endpoints::Constantes();
    const Endpoints e = Endpoints::Carregar(
        Gravar(pasta,
               "[fornecedor]\nurl_arquivos=https://arquivos.local:8443\nftp_porta=2121\n"
               "chave_publica=11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=\n"
               "[outra]\nurl_site=https://nao.usar\n"));
    EXPECT_EQ(e.urlArquivos, "https://arquivos.local:8443");
    EXPECT_EQ(e.ftpPorta, 2121);
    EXPECT_EQ(e.chavePublica, "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=");
    EXPECT_EQ(e.urlSite, constantes.urlSite) << "a key of another section is not read";
    EXPECT_EQ(e.ftpHost, constantes.ftpHost);
    EXPECT_EQ(e.smtpPorta, 465);
    EXPECT_EQ(e.pop3Porta, 110);
    EXPECT_EQ(e.ftpSenha, "tucano@09.2011") << "passwords are not replaceable";
}

TEST(Endpoints, AnUnreadableIniLeavesTheConstants) {
    const Endpoints e = Endpoints::Carregar("/caminho/que/nao/existe.ini");
    EXPECT_EQ(e.TextoIni(), Endpoints::Constantes().TextoIni());
}

TEST(Endpoints, TheIniTextReadsBackAsTheSameEndpoints) {
    QTemporaryDir pasta;
    Endpoints e = Endpoints::Constantes();
    e.urlSiteHttp = "http://www.local:8080";
    e.emailHost = "correio.local";
    e.pop3Porta = 1110;
    e.chavePublica = "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=";
    const Endpoints lido = Endpoints::Carregar(Gravar(pasta, e.TextoIni().toUtf8()));
    EXPECT_EQ(lido.TextoIni(), e.TextoIni());
}

}  // namespace
}  // namespace orvalis
