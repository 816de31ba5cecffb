// The rules that bound a whole HTTP transfer, against the local web server's faults: the
// low-speed rule (shortened here to 1 KiB/s over 2 s), the refusal of a body that only
// the close would end, and one connection per call.
#include "net/ClienteHttp.h"
#include "net/DownloadHttp.h"
#include "net/SiteAtivo.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/LimitesTeste.h"
#include "tests/support/PrazoExterno.h"
#include "tests/support/ServidoresLocais.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>

namespace orvalis::teste {
namespace {

using std::chrono::milliseconds;

// Limits that only the rule under test can reach first: waits of 10 s, while the server
// drips a piece every 50 ms and the low-speed window is 2 s.
const ClienteHttp::Limites kLimitesDaRegra =
    LimitesDeTeste(milliseconds(10000), milliseconds(10000), milliseconds(2000));

QJsonObject Modo(const char* modo) {
    return QJsonObject{{"modo", QString::fromUtf8(modo)}};
}

class RegrasTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
            << "the test host names must resolve to 127.0.0.1: run through scripts/run-tests";
        ServidoresLocais::ConfiarNaAutoridade();
        QDir().mkpath(servidores.PastaArquivos() + "/p");
        QFile pacote(servidores.PastaArquivos() + "/p/pacote.rar");
        ASSERT_TRUE(pacote.open(QIODevice::WriteOnly));
        pacote.write(QByteArray(200 * 1024, 'p'));
    }

    ServidoresLocais servidores;
};

struct CasoRegra {
    const char* nome;
    QJsonObject listener;  // the files host's configuration
    const char* caminho;   // requested
    const char* modoCaminho;
    bool resultado;
    const char* motivo;  // a piece of Erro() when the result is false
};

void PrintTo(const CasoRegra& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class RegraTest : public RegrasTest, public ::testing::WithParamInterface<CasoRegra> {};

TEST_P(RegraTest, TerminaComOMotivoDaRegra) {
    const CasoRegra& caso = GetParam();
    const QString caminho = QString::fromUtf8(caso.caminho);
    servidores.IniciarWeb(
        QJsonObject{{"servidores", QJsonObject{{"arquivos", caso.listener}}},
                    {"caminhos", QJsonObject{{caminho, Modo(caso.modoCaminho)}}}});
    ClienteHttp cliente(kLimitesDaRegra);
    qint64 recebidos = 0;

    bool resultado = !caso.resultado;
    TerminarDentroDe(std::chrono::seconds(60), [&] {
        resultado = cliente.Obter(servidores.Fornecedor().urlArquivos + caminho,
                                  [&](const char*, size_t tamanho) {
                                      recebidos += static_cast<qint64>(tamanho);
                                      return true;
                                  });
    });

    EXPECT_EQ(resultado, caso.resultado) << cliente.Erro().toStdString();
    if (!caso.resultado) {
        EXPECT_TRUE(cliente.Erro().contains(QString::fromUtf8(caso.motivo)))
            << cliente.Erro().toStdString();
    }
    if (QString::fromUtf8(caso.modoCaminho).startsWith("sem_tamanho")) {
        EXPECT_EQ(recebidos, 0) << "nothing of a body that only the close ends is handed over";
    }
    EXPECT_EQ(servidores.Eventos("arquivos", "conexao").size(), 1) << "one connection";
}

const QJsonObject kNormal = Modo("normal");

INSTANTIATE_TEST_SUITE_P(
    ClienteHttp, RegraTest,
    ::testing::Values(
        CasoRegra{"RapidoPassa", kNormal, "/gerado/3000000", "normal", true, ""},
        CasoRegra{"CorpoGotejado", kNormal, "/p/pacote.rar", "gotejado", false, "lenta demais"},
        CasoRegra{"CorpoSemFim", kNormal, "/p/pacote.rar", "sem_fim", false, "lenta demais"},
        CasoRegra{"ApertoGotejado", Modo("aperto_gotejado"), "/p/pacote.rar", "normal", false,
                  "lenta demais"},
        CasoRegra{"ApertoTardioAlemDaJanela", QJsonObject{{"modo", "normal"}, {"atraso", 3.0}},
                  "/p/pacote.rar", "normal", false, "lenta demais"},
        CasoRegra{"ApertoTardioDentroDaJanela", QJsonObject{{"modo", "normal"}, {"atraso", 0.5}},
                  "/p/pacote.rar", "normal", true, ""},
        CasoRegra{"SemTamanho", kNormal, "/p/pacote.rar", "sem_tamanho", false,
                  "tamanho do conteúdo"},
        CasoRegra{"SemTamanhoSemFim", kNormal, "/p/pacote.rar", "sem_tamanho_sem_fim", false,
                  "tamanho do conteúdo"}),
    [](const auto& info) { return std::string(info.param.nome); });

// --- one connection and one handshake, whatever refuses the certificate ---

struct CasoUmaConexao {
    const char* nome;
    const char* modo;  // of the files host
    bool download;     // BaixarArquivoHttp, else TestarUrl
    bool resultado;
    // What TestarUrl tells of its refusal: RecusaCertificado::Motivo() and the
    // certificate presented (nullptr: no refusal; a download tells none).
    const char* motivo = nullptr;
    const char* titular = nullptr;
};

void PrintTo(const CasoUmaConexao& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class UmaConexaoTest : public RegrasTest, public ::testing::WithParamInterface<CasoUmaConexao> {};

TEST_P(UmaConexaoTest, UmApertoDeMaoSemReenvio) {
    const CasoUmaConexao& caso = GetParam();
    servidores.IniciarWeb(QJsonObject{{"servidores", QJsonObject{{"arquivos", Modo(caso.modo)}}}});
    const QString url = servidores.Fornecedor().urlArquivos + "/p/pacote.rar";
    const ClienteHttp::Limites limites = LimitesDeTeste(milliseconds(5000), milliseconds(5000));

    if (caso.download) {
        InstalacaoTemporaria instalacao;
        EXPECT_EQ(BaixarArquivoHttp(instalacao.plataforma(), url,
                                    InstalacaoTemporaria::kPastaMestre + "\\pacote.rar", limites),
                  caso.resultado);
    } else {
        std::optional<RecusaCertificado> recusa;
        EXPECT_EQ(TestarUrl(url, limites, &recusa), caso.resultado);
        if (caso.motivo == nullptr) {
            EXPECT_FALSE(recusa.has_value());
        } else {
            // The refusal names the host and the certificate.
            EXPECT_TRUE(recusa.has_value());
            if (recusa.has_value()) {
                EXPECT_EQ(recusa->host, "arquivos.orvalis.test");
                EXPECT_EQ(recusa->Motivo(), QString::fromUtf8(caso.motivo));
                EXPECT_EQ(recusa->titular, QString::fromUtf8(caso.titular));
            }
        }
    }

    // The server records a refused handshake once the client has given up on it.
    const char* aperto = caso.resultado ? "tls" : "tls_falhou";
    EXPECT_TRUE(ServidoresLocais::Aguardar(
        [&] { return !servidores.Eventos("arquivos", aperto).isEmpty(); }));
    EXPECT_EQ(servidores.Eventos("arquivos", "conexao").size(), 1);
    EXPECT_EQ(servidores.Eventos("arquivos", aperto).size(), 1);
    EXPECT_EQ(servidores.Eventos("arquivos", "pedido").size(), caso.resultado ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    ClienteHttp, UmaConexaoTest,
    ::testing::Values(CasoUmaConexao{"SondagemAceita", "normal", false, true},
                      CasoUmaConexao{"SondagemNaoConfiavel", "nao_confiavel", false, false,
                                     "emissor não confiável", "CN=arquivos.orvalis.test"},
                      CasoUmaConexao{"SondagemExpirado", "expirado", false, false,
                                     "certificado vencido", "CN=arquivos.orvalis.test"},
                      CasoUmaConexao{"SondagemOutroNome", "outro_nome", false, false,
                                     "emitido para outro nome", "CN=outro.orvalis.test"},
                      CasoUmaConexao{"DownloadAceito", "normal", true, true},
                      CasoUmaConexao{"DownloadNaoConfiavel", "nao_confiavel", true, false},
                      CasoUmaConexao{"DownloadOutroNome", "outro_nome", true, false}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(RegrasTest, UmHostQueNaoRespondeNaoEUmaRecusa) {
    servidores.IniciarWeb(QJsonObject{{"servidores", QJsonObject{{"arquivos", Modo("fora")}}}});
    std::optional<RecusaCertificado> recusa;
    EXPECT_FALSE(TestarUrl(servidores.Fornecedor().urlArquivos,
                           LimitesDeTeste(milliseconds(5000), milliseconds(5000)), &recusa));
    EXPECT_FALSE(recusa.has_value());
}

}  // namespace
}  // namespace orvalis::teste
