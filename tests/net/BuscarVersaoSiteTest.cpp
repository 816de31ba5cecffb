// Release discovery against the local FTP and web servers.
#include "app/Erros.h"
#include "net/BuscarVersaoSite.h"
#include "net/ClienteFtp.h"
#include "tests/support/LimitesTeste.h"
#include "tests/support/PrazoExterno.h"
#include "tests/support/ServidoresLocais.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

namespace orvalis::teste {
namespace {

using std::chrono::milliseconds;

const ClienteHttp::Limites kLimitesCurtos = LimitesDeTeste(milliseconds(1000), milliseconds(1000));
const QString kUsuarioArquivos = "atualizacao@arquivos.orvalis.test";
const QString kUsuarioSite = "atualizacao@orvalis.test";

QJsonObject Modo(const char* modo) {
    return QJsonObject{{"modo", QString::fromUtf8(modo)}};
}

QJsonArray Nomes(const QStringList& nomes) {
    QJsonArray lista;
    for (const QString& nome : nomes) lista.append(nome);
    return lista;
}

class VersaoSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
            << "the test host names must resolve to 127.0.0.1: run through scripts/run-tests";
        ServidoresLocais::ConfiarNaAutoridade();
        IdFTP1.limiteLeitura = milliseconds(2000);
        IdFTP1.limiteDados = milliseconds(1000);
    }

    QString Buscar() {
        QString versao = "valor anterior";
        BuscarVersaoSite(IdFTP1, ListBox1, servidores.Fornecedor(), versao, kLimitesCurtos);
        return versao;
    }

    ServidoresLocais servidores;
    ClienteFtp IdFTP1;
    QStringList ListBox1;
};

// --- the account name follows the probe ---

struct CasoUsuario {
    const char* nome;
    const char* modoArquivos;
    const char* modoSite;
    bool formaDoHostDeArquivos;
};

// gtest shows a case by its name.
void PrintTo(const CasoUsuario& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class UsuarioTest : public VersaoSiteTest, public ::testing::WithParamInterface<CasoUsuario> {};

TEST_P(UsuarioTest, SegueOSiteQueRespondeu) {
    const CasoUsuario& caso = GetParam();
    servidores.IniciarWeb(
        QJsonObject{{"servidores", QJsonObject{{"arquivos", Modo(caso.modoArquivos)},
                                               {"site", Modo(caso.modoSite)}}}});
    servidores.IniciarFtp(QJsonObject{{"nomes", Nomes({"orvalisERP2.8.rar"})}});

    EXPECT_EQ(Buscar(), "orvalisERP2.8.rar");

    const QStringList comandos = servidores.ComandosFtp();
    ASSERT_FALSE(comandos.isEmpty());
    EXPECT_EQ(comandos.first(),
              "USER " + (caso.formaDoHostDeArquivos ? kUsuarioArquivos : kUsuarioSite));
    EXPECT_TRUE(comandos.contains("PASS tucano@09.2011"));
}

INSTANTIATE_TEST_SUITE_P(
    BuscarVersaoSite, UsuarioTest,
    ::testing::Values(CasoUsuario{"HostDeArquivosNoAr", "normal", "normal", true},
                      CasoUsuario{"HostDeArquivosForaSiteNoAr", "fora", "normal", false},
                      CasoUsuario{"HostDeArquivosMudoSiteNoAr", "mudo", "normal", false},
                      CasoUsuario{"AmbosFora", "fora", "fora", false}),
    [](const auto& info) { return std::string(info.param.nome); });

// --- what the listing gives ---

struct CasoListagem {
    const char* nome;
    QStringList nomes;
    QString versao;
};

void PrintTo(const CasoListagem& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class ListagemTest : public VersaoSiteTest, public ::testing::WithParamInterface<CasoListagem> {};

TEST_P(ListagemTest, AUltimaLinhaComERPEAVersao) {
    const CasoListagem& caso = GetParam();
    servidores.IniciarWeb();
    servidores.IniciarFtp(QJsonObject{{"nomes", Nomes(caso.nomes)}});
    ListBox1 = QStringList{"de antes"};

    EXPECT_EQ(Buscar(), caso.versao);

    EXPECT_EQ(ListBox1, QStringList{"de antes"} + caso.nomes)
        << "every line is appended, in the server's order";
    EXPECT_FALSE(IdFTP1.Conectado());
}

INSTANTIATE_TEST_SUITE_P(
    BuscarVersaoSite, ListagemTest,
    ::testing::Values(
        CasoListagem{"UmaEntrada", {"leia-me.txt", "orvalisERP2.8.rar"}, "orvalisERP2.8.rar"},
        CasoListagem{"DuasEntradasValeAListadaDepois",
                     {"orvalisERP2.10.rar", "notas.txt", "orvalisERP2.9.rar"},
                     "orvalisERP2.9.rar"},
        CasoListagem{"SoMinusculas", {"orvaliserp2.8.rar", "Erp.rar"}, ""},
        CasoListagem{"ListagemVazia", {}, ""},
        CasoListagem{"NomeComEspacos", {"orvalis ERP 2.8 final.rar"}, "orvalis ERP 2.8 final.rar"}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(VersaoSiteTest, OsComandosNaOrdemDoDialogo) {
    servidores.IniciarWeb();
    servidores.IniciarFtp(QJsonObject{{"nomes", Nomes({"orvalisERP2.8.rar"})}});

    Buscar();

    QStringList significativos;
    for (const QString& linha : servidores.ComandosFtp()) {
        if (!linha.startsWith("EPSV") && !linha.startsWith("PASV") && !linha.startsWith("PWD")) {
            significativos.append(linha);
        }
    }
    EXPECT_EQ(significativos, QStringList({"USER " + kUsuarioArquivos, "PASS tucano@09.2011",
                                           "TYPE I", "CWD Atualizacao", "CWD orvalis Empresa",
                                           "TYPE A", "NLST", "TYPE I", "QUIT"}));
}

// --- when the site cannot be used ---

struct CasoSem {
    const char* nome;
    QJsonObject configuracao;
};

void PrintTo(const CasoSem& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class SemTest : public VersaoSiteTest, public ::testing::WithParamInterface<CasoSem> {};

TEST_P(SemTest, DaSEMEDesconecta) {
    servidores.IniciarWeb();
    servidores.IniciarFtp(GetParam().configuracao);

    EXPECT_EQ(Buscar(), "SEM");

    EXPECT_TRUE(ListBox1.isEmpty());
    EXPECT_FALSE(IdFTP1.Conectado());
    EXPECT_FALSE(servidores.ComandosFtp().contains("NLST"));
}

INSTANTIATE_TEST_SUITE_P(
    BuscarVersaoSite, SemTest,
    ::testing::Values(
        CasoSem{"LoginRecusado",
                {{"modo", "login_recusado"}, {"nomes", Nomes({"orvalisERP2.8.rar"})}}},
        CasoSem{"SenhaErrada",
                {{"usuarios", QJsonObject{{"atualizacao@arquivos.orvalis.test", "outra"},
                                          {"atualizacao@orvalis.test", "outra"}}},
                 {"nomes", Nomes({"orvalisERP2.8.rar"})}}},
        CasoSem{"PastaInexistente", {{"modo", "sem_pasta"}}},
        CasoSem{"HostInacessivel", {{"modo", "fora"}}}, CasoSem{"ServidorMudo", {{"modo", "mudo"}}},
        CasoSem{"CwdComOutro2xx", {{"codigo_cwd", 226}, {"nomes", Nomes({"orvalisERP2.8.rar"})}}}),
    [](const auto& info) { return std::string(info.param.nome); });

struct CasoCwd {
    const char* nome;
    int codigo;
};

void PrintTo(const CasoCwd& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class CwdTest : public VersaoSiteTest, public ::testing::WithParamInterface<CasoCwd> {};

TEST_P(CwdTest, AceitaAResposta) {
    servidores.IniciarWeb();
    servidores.IniciarFtp(
        QJsonObject{{"codigo_cwd", GetParam().codigo}, {"nomes", Nomes({"orvalisERP2.8.rar"})}});

    EXPECT_EQ(Buscar(), "orvalisERP2.8.rar");
}

INSTANTIATE_TEST_SUITE_P(BuscarVersaoSite, CwdTest,
                         ::testing::Values(CasoCwd{"Codigo200", 200}, CasoCwd{"Codigo250", 250},
                                           CasoCwd{"Codigo257", 257}),
                         [](const auto& info) { return std::string(info.param.nome); });

// --- a listing that fails reaches the caller ---

struct CasoListagemFalha {
    const char* nome;
    const char* modo;
};

void PrintTo(const CasoListagemFalha& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class ListagemFalhaTest : public VersaoSiteTest,
                          public ::testing::WithParamInterface<CasoListagemFalha> {};

TEST_P(ListagemFalhaTest, Levanta) {
    servidores.IniciarWeb();
    servidores.IniciarFtp(
        QJsonObject{{"modo", GetParam().modo}, {"nomes", Nomes({"orvalisERP2.8.rar"})}});
    QString versao = "valor anterior";
    // A listing dripped below the minimum speed ends with a window of 2 s.
    IdFTP1.limiteDados = milliseconds(10000);
    IdFTP1.velocidadeMinima = {1024, milliseconds(2000)};

    TerminarDentroDe(std::chrono::seconds(60), [&] {
        EXPECT_THROW(
            BuscarVersaoSite(IdFTP1, ListBox1, servidores.Fornecedor(), versao, kLimitesCurtos),
            ErroOrvalis);
    });

    EXPECT_EQ(versao, "") << "the result was cleared before the listing";
    EXPECT_TRUE(ListBox1.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BuscarVersaoSite, ListagemFalhaTest,
                         ::testing::Values(CasoListagemFalha{"NlstRecusado", "nlst_recusado"},
                                           CasoListagemFalha{"DadosMudos", "nlst_mudo"},
                                           CasoListagemFalha{"ListagemSemFim", "nlst_sem_fim"},
                                           CasoListagemFalha{"ListagemGotejada", "nlst_gotejado"}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST_F(VersaoSiteTest, UmaSegundaBuscaComecaDesconectando) {
    servidores.IniciarWeb();
    servidores.IniciarFtp(QJsonObject{{"modo", "nlst_recusado"}});
    QString versao;
    EXPECT_THROW(
        BuscarVersaoSite(IdFTP1, ListBox1, servidores.Fornecedor(), versao, kLimitesCurtos),
        ErroOrvalis);
    EXPECT_TRUE(IdFTP1.Conectado()) << "a failed listing leaves the connection to the caller";

    EXPECT_THROW(
        BuscarVersaoSite(IdFTP1, ListBox1, servidores.Fornecedor(), versao, kLimitesCurtos),
        ErroOrvalis);

    EXPECT_EQ(servidores.ComandosFtp().count("QUIT"), 1)
        << "the first connection was ended before the second";
    EXPECT_EQ(servidores.ComandosFtp().count("USER " + kUsuarioArquivos), 2);
}

}  // namespace
}  // namespace orvalis::teste
