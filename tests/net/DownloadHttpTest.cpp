// BaixarArquivoHttp against the local web server, into a temporary installation.
#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "net/DownloadHttp.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/LimitesTeste.h"
#include "tests/support/PlataformaFalhas.h"
#include "tests/support/PrazoExterno.h"
#include "tests/support/ServidoresLocais.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <thread>

namespace orvalis::teste {
namespace {

using std::chrono::milliseconds;

// Short limits, the low-speed rule too: a stalled server costs seconds, not minutes.
const ClienteHttp::Limites kLimitesCurtos =
    LimitesDeTeste(milliseconds(1000), milliseconds(1000), milliseconds(2000));
const QString kPastaDestino = InstalacaoTemporaria::kPastaMestre + "\\tmp";
const QString kDestino = kPastaDestino + "\\pacote.rar";
const QString kCaminhoPacote = "/update/Atualizacao/orvalis Empresa/pacote.rar";
const QString kUrlPacote = "/update/Atualizacao/orvalis%20Empresa/pacote.rar";
const QByteArray kAnterior = "o pacote que já estava lá";

// Larger than every buffer on the way, and not a repetition of one block.
QByteArray ConteudoDoPacote() {
    QByteArray conteudo;
    uint32_t x = 12345;
    for (int i = 0; i < 300 * 1024 + 17; ++i) {
        x = x * 1103515245u + 12345u;
        conteudo.append(static_cast<char>(x >> 24));
    }
    return conteudo;
}

// What the server's "/gerado/N" sends.
QByteArray Gerado(int tamanho) {
    QByteArray conteudo(tamanho, Qt::Uninitialized);
    for (int i = 0; i < tamanho; ++i) conteudo[i] = static_cast<char>(i % 256);
    return conteudo;
}

QJsonObject Modo(const char* modo) {
    return QJsonObject{{"modo", QString::fromUtf8(modo)}};
}

class DownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
            << "the test host names must resolve to 127.0.0.1: run through scripts/run-tests";
        ServidoresLocais::ConfiarNaAutoridade();
        QDir().mkpath(servidores.PastaArquivos() + "/update/Atualizacao/orvalis Empresa");
        QFile pacote(servidores.PastaArquivos() + kCaminhoPacote);
        ASSERT_TRUE(pacote.open(QIODevice::WriteOnly));
        pacote.write(ConteudoDoPacote());
        pacote.close();
        instalacao.CriarPasta(kPastaDestino);
    }

    ServidoresLocais servidores;
    InstalacaoTemporaria instalacao;
};

enum class Esperado { Servido, Anterior, Nenhum };

struct CasoDownload {
    const char* nome;
    const char* modoServidor;  // mode of the https files listener
    const char* alvo;          // nullptr: the package; else a path of the server
    const char* modoCaminho;   // mode of the path requested
    bool existia;              // the destination held kAnterior before
    bool resultado;
    Esperado conteudo;
};

// gtest shows a case by its name.
void PrintTo(const CasoDownload& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class BaixarTest : public DownloadTest, public ::testing::WithParamInterface<CasoDownload> {};

TEST_P(BaixarTest, SoUm2xxInteiroSubstituiODestino) {
    const CasoDownload& caso = GetParam();
    const QString alvo = caso.alvo != nullptr ? QString::fromUtf8(caso.alvo) : kUrlPacote;
    const QString caminho = caso.alvo != nullptr ? alvo : kCaminhoPacote;
    servidores.IniciarWeb(
        QJsonObject{{"servidores", QJsonObject{{"arquivos", Modo(caso.modoServidor)}}},
                    {"caminhos", QJsonObject{{caminho, Modo(caso.modoCaminho)}}}});
    if (caso.existia) instalacao.Escrever(kDestino, kAnterior);

    bool resultado = !caso.resultado;
    TerminarDentroDe(std::chrono::seconds(60), [&] {
        resultado =
            BaixarArquivoHttp(instalacao.plataforma(), servidores.Fornecedor().urlArquivos + alvo,
                              kDestino, kLimitesCurtos);
    });
    EXPECT_EQ(resultado, caso.resultado);

    switch (caso.conteudo) {
        case Esperado::Servido: {
            const QByteArray esperado =
                caso.alvo != nullptr ? Gerado(alvo.section('/', -1).toInt()) : ConteudoDoPacote();
            ASSERT_TRUE(instalacao.Existe(kDestino));
            const QByteArray lido = instalacao.Ler(kDestino);
            EXPECT_EQ(lido.size(), esperado.size());
            EXPECT_TRUE(lido == esperado) << "the body arrived altered";
            break;
        }
        case Esperado::Anterior:
            ASSERT_TRUE(instalacao.Existe(kDestino));
            EXPECT_EQ(instalacao.Ler(kDestino), kAnterior);
            break;
        case Esperado::Nenhum:
            EXPECT_FALSE(instalacao.Existe(kDestino));
            break;
    }
    const QStringList deixados = instalacao.Listar(kPastaDestino);
    EXPECT_EQ(deixados,
              caso.conteudo == Esperado::Nenhum ? QStringList{} : QStringList{"pacote.rar"})
        << "nothing but the destination is left in its folder";
}

INSTANTIATE_TEST_SUITE_P(
    BaixarArquivoHttp, BaixarTest,
    ::testing::Values(
        CasoDownload{"Inteiro", "normal", nullptr, "normal", false, true, Esperado::Servido},
        CasoDownload{"SubstituiOAnterior", "normal", nullptr, "normal", true, true,
                     Esperado::Servido},
        CasoDownload{"Chunked", "normal", nullptr, "chunked", true, true, Esperado::Servido},
        CasoDownload{"GrandeInteiro", "normal", "/gerado/5000000", "normal", true, true,
                     Esperado::Servido},
        CasoDownload{"GrandeChunked", "normal", "/gerado/5000000", "chunked", false, true,
                     Esperado::Servido},
        CasoDownload{"Status404SemAnterior", "normal", nullptr, "404", false, false,
                     Esperado::Nenhum},
        CasoDownload{"Status404MantemOAnterior", "normal", nullptr, "404", true, false,
                     Esperado::Anterior},
        CasoDownload{"Status302MantemOAnterior", "normal", nullptr, "302", true, false,
                     Esperado::Anterior},
        CasoDownload{"CortadoMantemOAnterior", "normal", nullptr, "cortado", true, false,
                     Esperado::Anterior},
        CasoDownload{"ChunkedCortadoMantemOAnterior", "normal", nullptr, "chunked_cortado", true,
                     false, Esperado::Anterior},
        CasoDownload{"MudoMantemOAnterior", "normal", nullptr, "mudo", true, false,
                     Esperado::Anterior},
        CasoDownload{"RecusadoMantemOAnterior", "fora", nullptr, "normal", true, false,
                     Esperado::Anterior},
        CasoDownload{"CertificadoNaoConfiavelMantemOAnterior", "nao_confiavel", nullptr, "normal",
                     true, false, Esperado::Anterior},
        CasoDownload{"CertificadoExpiradoMantemOAnterior", "expirado", nullptr, "normal", true,
                     false, Esperado::Anterior},
        CasoDownload{"CertificadoDeOutroNomeMantemOAnterior", "outro_nome", nullptr, "normal", true,
                     false, Esperado::Anterior},
        CasoDownload{"GotejadoMantemOAnterior", "normal", nullptr, "gotejado", true, false,
                     Esperado::Anterior},
        CasoDownload{"SemFimMantemOAnterior", "normal", nullptr, "sem_fim", true, false,
                     Esperado::Anterior},
        CasoDownload{"ApertoGotejadoMantemOAnterior", "aperto_gotejado", nullptr, "normal", true,
                     false, Esperado::Anterior},
        CasoDownload{"SemTamanhoMantemOAnterior", "normal", nullptr, "sem_tamanho", true, false,
                     Esperado::Anterior},
        CasoDownload{"SemTamanhoSemAnterior", "normal", nullptr, "sem_tamanho", false, false,
                     Esperado::Nenhum},
        CasoDownload{"SemTamanhoSemFimMantemOAnterior", "normal", nullptr, "sem_tamanho_sem_fim",
                     true, false, Esperado::Anterior}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(DownloadTest, PastaDeDestinoInexistenteLevantaAntesDeQualquerConexao) {
    servidores.IniciarWeb();
    const QString destino = InstalacaoTemporaria::kPastaMestre + "\\nao existe\\pacote.rar";

    try {
        BaixarArquivoHttp(instalacao.plataforma(), servidores.Fornecedor().urlArquivos + kUrlPacote,
                          destino, kLimitesCurtos);
        ADD_FAILURE() << "no error raised";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().contains(destino)) << erro.mensagem().toStdString();
    }
    EXPECT_TRUE(servidores.RegistroWeb().isEmpty()) << "the server was not reached";
}

TEST_F(DownloadTest, UmCorpoQueEncheriaAUnidadeParaAntesEMantemOAnterior) {
    servidores.IniciarWeb(
        QJsonObject{{"caminhos", QJsonObject{{kCaminhoPacote, Modo("chunked_sem_fim")}}}});
    instalacao.Escrever(kDestino, kAnterior);
    PlataformaFalhas plataforma(instalacao.plataforma());
    // The drive has 1 GiB and 3 MiB free, less what the transfer wrote so far.
    plataforma.aoConsultarEspaco = [&](const QString&, uint64_t* livres) -> uint32_t {
        int64_t escritos = 0;
        for (const QString& nome : instalacao.Listar(kPastaDestino)) {
            if (nome != "pacote.rar")
                escritos += instalacao.Ler(kPastaDestino + "\\" + nome).size();
        }
        *livres = (uint64_t{1} << 30) + 3 * 1024 * 1024 - static_cast<uint64_t>(escritos);
        return 0;
    };
    EXPECT_FALSE(BaixarArquivoHttp(plataforma, servidores.Fornecedor().urlArquivos + kUrlPacote,
                                   kDestino, kLimitesCurtos));
    EXPECT_EQ(instalacao.Listar(kPastaDestino), QStringList{"pacote.rar"});
    EXPECT_EQ(instalacao.Ler(kDestino), kAnterior);

    // A drive whose free space cannot be read takes nothing.
    plataforma.aoConsultarEspaco = [](const QString&, uint64_t*) -> uint32_t {
        return winerror::kAccessDenied;
    };
    servidores.DefinirFalhasWeb(QJsonObject{});
    EXPECT_FALSE(BaixarArquivoHttp(plataforma, servidores.Fornecedor().urlArquivos + kUrlPacote,
                                   kDestino, kLimitesCurtos));
    EXPECT_EQ(instalacao.Ler(kDestino), kAnterior);
}

TEST_F(DownloadTest, OArquivoTemporarioFicaAoLadoENaoTerminaEmPart) {
    servidores.IniciarWeb(QJsonObject{{"caminhos", QJsonObject{{kCaminhoPacote, Modo("mudo")}}}});
    instalacao.Escrever(kDestino, kAnterior);
    const ClienteHttp::Limites limites = LimitesDeTeste(milliseconds(2000), milliseconds(2000));
    std::atomic<bool> terminou = false;
    bool resultado = true;
    Platform& plataforma = instalacao.plataforma();
    const QString url = servidores.Fornecedor().urlArquivos + kUrlPacote;

    std::thread download([&] {
        resultado = BaixarArquivoHttp(plataforma, url, kDestino, limites);
        terminou = true;
    });
    QStringList durante;
    ServidoresLocais::Aguardar([&] {
        durante = instalacao.Listar(kPastaDestino);
        return durante.size() == 2 || terminou;
    });
    download.join();

    ASSERT_EQ(durante.size(), 2) << "a temporary file beside the destination during the transfer";
    durante.removeAll("pacote.rar");
    ASSERT_EQ(durante.size(), 1);
    EXPECT_TRUE(durante[0].startsWith("pacote.rar")) << durante[0].toStdString();
    EXPECT_FALSE(durante[0].endsWith(".part", Qt::CaseInsensitive)) << durante[0].toStdString();
    EXPECT_FALSE(resultado);
    EXPECT_EQ(instalacao.Listar(kPastaDestino), QStringList{"pacote.rar"});
    EXPECT_EQ(instalacao.Ler(kDestino), kAnterior);
}

}  // namespace
}  // namespace orvalis::teste
