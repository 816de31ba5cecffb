// The site probe and the request profile, against the local web server.
#include "app/UnFuncaoOrvalis.h"
#include "net/ClienteHttp.h"
#include "net/DownloadHttp.h"
#include "net/SiteAtivo.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/LimitesTeste.h"
#include "tests/support/ServidoresLocais.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

namespace orvalis::teste {
namespace {

using std::chrono::milliseconds;

// Short limits, so that a silent server costs a second and not a minute.
const ClienteHttp::Limites kLimitesCurtos = LimitesDeTeste(milliseconds(1000), milliseconds(1000));

QJsonObject Modo(const char* modo) {
    return QJsonObject{{"modo", QString::fromUtf8(modo)}};
}

QJsonObject FalhasDosServidores(const char* arquivos, const char* site) {
    return QJsonObject{
        {"servidores", QJsonObject{{"arquivos", Modo(arquivos)}, {"site", Modo(site)}}}};
}

// Starts the web server with one listener ("arquivos" or "site_http") and its path "/"
// in the given modes; returns that listener's base URL.
QString IniciarComModos(ServidoresLocais& servidores, const char* servidor,
                        const char* modoServidor, const char* modoCaminho) {
    const QString nome = QString::fromUtf8(servidor);
    servidores.IniciarWeb(QJsonObject{{"servidores", QJsonObject{{nome, Modo(modoServidor)}}},
                                      {"caminhos", QJsonObject{{"/", Modo(modoCaminho)}}}});
    const Endpoints fornecedor = servidores.Fornecedor();
    return nome == "arquivos" ? fornecedor.urlArquivos : fornecedor.urlSiteHttp;
}

class RedeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
            << "the test host names must resolve to 127.0.0.1: run through scripts/run-tests";
        ServidoresLocais::ConfiarNaAutoridade();
    }
};

// --- the request on the wire ---

struct CasoPedido {
    const char* nome;
    const char* servidor;  // the listener that must see the request
    const char* alvo;      // path and query requested
    bool download;         // through BaixarArquivoHttp, else TestarUrl
};

// gtest shows a case by its name.
void PrintTo(const CasoPedido& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class PedidoNoFioTest : public RedeTest, public ::testing::WithParamInterface<CasoPedido> {};

TEST_P(PedidoNoFioTest, TemSoOsCabecalhosDoPerfilEmOrdem) {
    const CasoPedido& caso = GetParam();
    ServidoresLocais servidores;
    QDir().mkpath(servidores.PastaArquivos() + "/update/Atualizacao/orvalis Empresa");
    QFile pacote(servidores.PastaArquivos() + "/update/Atualizacao/orvalis Empresa/pacote.rar");
    ASSERT_TRUE(pacote.open(QIODevice::WriteOnly));
    pacote.write("conteudo");
    pacote.close();
    servidores.IniciarWeb();

    const Endpoints fornecedor = servidores.Fornecedor();
    const QString servidor = QString::fromUtf8(caso.servidor);
    const QString base = servidor == "arquivos" ? fornecedor.urlArquivos
                         : servidor == "site"   ? fornecedor.urlSite
                                                : fornecedor.urlSiteHttp;
    const QString host = servidor == "arquivos" ? "arquivos.orvalis.test" : "www.orvalis.test";
    const QString alvo = QString::fromUtf8(caso.alvo);
    if (caso.download) {
        InstalacaoTemporaria instalacao;
        EXPECT_TRUE(BaixarArquivoHttp(instalacao.plataforma(), base + alvo,
                                      InstalacaoTemporaria::kPastaMestre + "\\pacote.rar",
                                      kLimitesCurtos));
    } else {
        EXPECT_TRUE(TestarUrl(alvo == "/" ? base : base + alvo, kLimitesCurtos));
    }

    const QList<QJsonObject> pedidos = servidores.Eventos(servidor, "pedido");
    ASSERT_EQ(pedidos.size(), 1);
    const QString bruto = pedidos[0]["bruto"].toString();
    const QStringList linhas = bruto.split("\r\n");
    // The request line, five headers, the blank line (the split leaves one more).
    ASSERT_EQ(linhas.size(), 8) << bruto.toStdString();
    EXPECT_EQ(linhas[0], "GET " + alvo + " HTTP/1.1");
    EXPECT_EQ(linhas[1], "Content-Encoding: utf-8");
    EXPECT_EQ(linhas[2], "Content-Type: application/json");
    EXPECT_EQ(linhas[3], QString("Host: %1:%2").arg(host).arg(servidores.Porta(servidor)))
        << "a port that is not the scheme's default stays in Host";
    EXPECT_EQ(linhas[4], "Accept: text/javascript");
    EXPECT_TRUE(linhas[5].startsWith("User-Agent: ") && linhas[5].size() > 12)
        << linhas[5].toStdString();
    EXPECT_EQ(linhas[6], "");
    EXPECT_EQ(linhas[7], "");

    if (servidor != "site_http") {
        const QList<QJsonObject> apertos = servidores.Eventos(servidor, "tls");
        ASSERT_EQ(apertos.size(), 1);
        EXPECT_EQ(apertos[0]["sni"].toString(), host) << "the host name goes in the handshake";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Perfil, PedidoNoFioTest,
    ::testing::Values(CasoPedido{"SondagemHttps", "arquivos", "/", false},
                      CasoPedido{"DownloadHttps", "site",
                                 "/update/Atualizacao/orvalis%20Empresa/pacote.rar", true},
                      CasoPedido{"DownloadHttpComConsulta", "site_http",
                                 "/update/Atualizacao/orvalis%20Empresa/pacote.rar?v=2", true}),
    [](const auto& info) { return std::string(info.param.nome); });

// --- the order of the probes ---

struct CasoSondagem {
    const char* nome;
    const char* modoArquivos;
    const char* modoSite;
    const char* escolhido;  // the listener whose base URL is returned
    int pedidosArquivos;
    int pedidosSite;
    QStringList recusados;  // the hosts whose certificate a probe refused, in probe order
};

void PrintTo(const CasoSondagem& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class OrdemDasSondagensTest : public RedeTest,
                              public ::testing::WithParamInterface<CasoSondagem> {};

TEST_P(OrdemDasSondagensTest, DevolveOPrimeiroQueResponde) {
    const CasoSondagem& caso = GetParam();
    ServidoresLocais servidores;
    servidores.IniciarWeb(FalhasDosServidores(caso.modoArquivos, caso.modoSite));
    const Endpoints fornecedor = servidores.Fornecedor();

    // BuscarSiteAtivo is SondarSites' URL.
    const SondagemSites sondagem = SondarSites(fornecedor, kLimitesCurtos);

    const QString escolhido = QString::fromUtf8(caso.escolhido);
    EXPECT_EQ(sondagem.url, escolhido == "arquivos" ? fornecedor.urlArquivos
                            : escolhido == "site"   ? fornecedor.urlSite
                                                    : fornecedor.urlSiteHttp);
    QStringList recusados;
    for (const RecusaCertificado& recusa : sondagem.recusas) recusados << recusa.host;
    EXPECT_EQ(recusados, caso.recusados);
    EXPECT_EQ(servidores.Eventos("arquivos", "pedido").size(), caso.pedidosArquivos);
    EXPECT_EQ(servidores.Eventos("site", "pedido").size(), caso.pedidosSite);
    EXPECT_TRUE(servidores.Eventos("site_http", "conexao").isEmpty())
        << "the http base URL is returned without a probe";
}

INSTANTIATE_TEST_SUITE_P(
    BuscarSiteAtivo, OrdemDasSondagensTest,
    ::testing::Values(CasoSondagem{"ArquivosNoAr", "normal", "normal", "arquivos", 1, 0, {}},
                      CasoSondagem{"ArquivosForaSiteNoAr", "fora", "normal", "site", 0, 1, {}},
                      CasoSondagem{"AmbosFora", "fora", "fora", "site_http", 0, 0, {}},
                      CasoSondagem{
                          "ArquivosRedirecionaSiteNoAr", "302", "normal", "site", 1, 1, {}},
                      CasoSondagem{"ArquivosMudoSiteNoAr", "mudo", "normal", "site", 0, 1, {}},
                      CasoSondagem{"ArquivosMudoSite404", "mudo", "404", "site_http", 0, 1, {}},
                      CasoSondagem{"ArquivosNaoConfiavelSite404",
                                   "nao_confiavel",
                                   "404",
                                   "site_http",
                                   0,
                                   1,
                                   {"arquivos.orvalis.test"}},
                      CasoSondagem{"ArquivosNaoConfiavelSiteNoAr",
                                   "nao_confiavel",
                                   "normal",
                                   "site",
                                   0,
                                   1,
                                   {"arquivos.orvalis.test"}},
                      CasoSondagem{"ArquivosNaoConfiavelSiteFora",
                                   "nao_confiavel",
                                   "fora",
                                   "site_http",
                                   0,
                                   0,
                                   {"arquivos.orvalis.test"}},
                      CasoSondagem{"AmbosRecusados",
                                   "expirado",
                                   "outro_nome",
                                   "site_http",
                                   0,
                                   0,
                                   {"arquivos.orvalis.test", "www.orvalis.test"}}),
    [](const auto& info) { return std::string(info.param.nome); });

// --- what counts as an answer ---

struct CasoResposta {
    const char* nome;
    const char* servidor;
    const char* modoServidor;  // the listener's mode
    const char* modoCaminho;   // the mode of "/"
    bool responde;
};

void PrintTo(const CasoResposta& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class RespostaTest : public RedeTest, public ::testing::WithParamInterface<CasoResposta> {};

TEST_P(RespostaTest, SoUm2xxInteiroResponde) {
    const CasoResposta& caso = GetParam();
    ServidoresLocais servidores;
    const QString url =
        IniciarComModos(servidores, caso.servidor, caso.modoServidor, caso.modoCaminho);

    EXPECT_EQ(TestarUrl(url, kLimitesCurtos), caso.responde);
}

INSTANTIATE_TEST_SUITE_P(
    TestarUrl, RespostaTest,
    ::testing::Values(
        CasoResposta{"Https200", "arquivos", "normal", "normal", true},
        CasoResposta{"Http200", "site_http", "normal", "normal", true},
        CasoResposta{"Chunked", "arquivos", "normal", "chunked", true},
        CasoResposta{"Status404", "arquivos", "normal", "404", false},
        CasoResposta{"Status302NaoSeguido", "arquivos", "normal", "302", false},
        CasoResposta{"CorpoCortado", "arquivos", "normal", "cortado", false},
        CasoResposta{"CorpoCortadoSemTls", "site_http", "normal", "cortado", false},
        CasoResposta{"ChunkedCortadoSemTls", "site_http", "normal", "chunked_cortado", false},
        CasoResposta{"CertificadoDeCaDesconhecida", "arquivos", "nao_confiavel", "normal", false},
        CasoResposta{"CertificadoVencido", "arquivos", "expirado", "normal", false},
        CasoResposta{"CertificadoDeOutroNome", "arquivos", "outro_nome", "normal", false},
        CasoResposta{"SoTls11", "arquivos", "tls_antigo", "normal", false},
        CasoResposta{"ConexaoRecusada", "arquivos", "fora", "normal", false},
        // A body that only the close ends cannot be told from a cut one.
        CasoResposta{"SemTamanho", "arquivos", "normal", "sem_tamanho", false},
        CasoResposta{"SemTamanhoSemTls", "site_http", "normal", "sem_tamanho", false}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(RedeTest, UmCertificadoRecusadoEncerraOApertoDeMaos) {
    ServidoresLocais servidores;
    servidores.IniciarWeb(FalhasDosServidores("nao_confiavel", "normal"));

    EXPECT_FALSE(TestarUrl(servidores.Fornecedor().urlArquivos, kLimitesCurtos));

    EXPECT_TRUE(ServidoresLocais::Aguardar([&] {
        return !servidores.Eventos("arquivos", "tls_falhou").isEmpty();
    })) << "the client refused the certificate during the handshake";
    EXPECT_TRUE(servidores.Eventos("arquivos", "pedido").isEmpty()) << "no request was sent";
}

// --- time limits ---

// One limit short, the other long: the wait must end with the short one.
const ClienteHttp::Limites kConexaoCurta = LimitesDeTeste(milliseconds(1000), milliseconds(5000));
const ClienteHttp::Limites kInatividadeCurta =
    LimitesDeTeste(milliseconds(5000), milliseconds(1000));

struct CasoMudo {
    const char* nome;
    const char* servidor;
    const char* modoServidor;
    const char* modoCaminho;
    ClienteHttp::Limites limites;
};

void PrintTo(const CasoMudo& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class ServidorMudoTest : public RedeTest, public ::testing::WithParamInterface<CasoMudo> {};

TEST_P(ServidorMudoTest, NaoPrendeAChamadaAlemDoLimite) {
    const CasoMudo& caso = GetParam();
    ServidoresLocais servidores;
    const QString url =
        IniciarComModos(servidores, caso.servidor, caso.modoServidor, caso.modoCaminho);

    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(TestarUrl(url, caso.limites));
    const auto duracao =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - inicio);

    EXPECT_GE(duracao.count(), 900);
    EXPECT_LT(duracao.count(), 1700) << "the wait went past its limit";
}

INSTANTIATE_TEST_SUITE_P(
    Limites, ServidorMudoTest,
    ::testing::Values(CasoMudo{"ConexaoSemResposta", "arquivos", "lotado", "normal", kConexaoCurta},
                      CasoMudo{"SemApertoDeMaos", "arquivos", "mudo", "normal", kInatividadeCurta},
                      CasoMudo{"SemRespostaHttps", "arquivos", "normal", "mudo", kInatividadeCurta},
                      CasoMudo{"SemRespostaHttp", "site_http", "normal", "mudo",
                               kInatividadeCurta}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(LimitesHttpTest, ConexaoEm30sEInatividadeEm60s) {
    const ClienteHttp::Limites padrao;
    EXPECT_EQ(padrao.conexao, milliseconds(30000));
    EXPECT_EQ(padrao.inatividade, milliseconds(60000));
    EXPECT_EQ(padrao.velocidade.bytesPorSegundo, 1024);
    EXPECT_EQ(padrao.velocidade.janela, milliseconds(60000));
    EXPECT_EQ(padrao.resolucao, milliseconds(30000));
}

}  // namespace
}  // namespace orvalis::teste
