#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "net/ClienteHttp.h"
#include "net/Endpoints.h"
#include "tests/fixtures/EscritorRar4.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/LimitesTeste.h"
#include "tests/support/PrazoExterno.h"
#include "tests/support/ServidoresLocais.h"
#include "tests/support/TextosDoLog.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <vector>

namespace orvalis {
namespace {

using teste::EntradaCompactada;
using teste::EscritorRar4;
using teste::InstalacaoTemporaria;
using teste::ServidoresLocais;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kTmp = InstalacaoTemporaria::kPastaMestre + "\\tmp";
const QString kPacotes = "/update/Atualizacao/orvalis Empresa/";

std::string Rar(std::vector<EntradaCompactada> entradas) {
    return EscritorRar4::Montar(entradas);
}

// Phase 2 against the local stand-in of the vendor's web site: the files host, the
// main site over https and over http, serving a release folder.
class Fase2 : public ::testing::Test {
  protected:
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    TfrmPrincipal janela{plataforma};
    ServidoresLocais servidores;
    Endpoints anteriores = Endpoints::Atuais();
    // Restored at the end even when an assertion leaves a test early.
    ClienteHttp::Limites anterioresHttp = ClienteHttp::LimitesEmVigor();

    void SetUp() override {
        ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
            << "run inside scripts/run-tests, whose hosts file names the test hosts";
        ServidoresLocais::ConfiarNaAutoridade();
        Publicar("WinRAR.exe", "winrar");
        Publicar("orvalisAssistente.exe", "assistente novo");
        Publicar("orvalisPacoteDll.rar", Rar({{"dll/orvalis.dll", "dll nova"}}));
        Publicar("orvalisConectado.rar", Rar({{"orvalisConectado.exe", "conectado novo"}}));
        Publicar("orvalisMonitorPublicacao.rar",
                 Rar({{"orvalisMonitorPublicacao.exe", "monitor novo"}}));
        Publicar("orvalisService.rar", Rar({{"bin/orvalisService.exe", "service novo"}}));
        Publicar("orvalisEmpresa.rar", Rar({{"orvalisEmpresa.exe", "empresa nova"}}));
        // The support packages put vendor executables beside the updater, so their
        // application packages are fetched as well.
        Publicar("orvalisAssistente.rar", Rar({{"orvalisAssistente.exe", "assistente de tmp"}}));
        instalacao.Escrever(kMestre + "\\orvalisEmpresa.exe", "empresa antiga");
        instalacao.Escrever(kMestre + "\\orvalisAtualizador.exe", "este programa");
        instalacao.Escrever(kMestre + "\\outroPrograma.exe", "de outro fornecedor");
        janela.itDiretorioPastaMestre = kMestre;
        janela.itDownloadAplicativo = true;
    }
    void TearDown() override {
        Endpoints::Substituir(anteriores);
        ClienteHttp::SubstituirLimites(anterioresHttp);
    }

    void Publicar(const QString& nome, const std::string& conteudo) {
        const QString caminho = servidores.PastaArquivos() + kPacotes + nome;
        QDir().mkpath(QFileInfo(caminho).path());
        QFile arquivo(caminho);
        ASSERT_TRUE(arquivo.open(QIODevice::WriteOnly));
        arquivo.write(conteudo.data(), static_cast<qint64>(conteudo.size()));
    }
    void Iniciar(const QJsonObject& falhas = {}) {
        servidores.IniciarWeb(falhas);
        Endpoints::Substituir(servidores.Fornecedor());
    }
    // Runs phase 2 and tells whether it ended with the silent abort.
    bool Executar() {
        try {
            janela.Fase2DownloadAplicativos();
        } catch (const EAbort&) {
            return true;
        }
        return false;
    }
    // The paths asked of the files host, in order.
    QStringList Pedidos() const {
        QStringList caminhos;
        for (const QJsonObject& e : servidores.Eventos("arquivos", "pedido")) {
            caminhos << e["linha"].toString().section(' ', 1, 1);
        }
        return caminhos;
    }
    static QJsonObject FalhaDeCaminho(const QString& nome, const char* modo) {
        return QJsonObject{
            {"caminhos", QJsonObject{{kPacotes + nome, QJsonObject{{"modo", modo}}}}}};
    }
    QString Texto(const QString& caminho) const {
        return QString::fromUtf8(instalacao.Ler(caminho));
    }
};

TEST_F(Fase2, FetchesTheSupportPackagesAndOnePackagePerInstalledApplication) {
    Iniciar();
    EXPECT_FALSE(Executar());
    EXPECT_TRUE(janela.itDownloadAplicativo);

    const QString base = "/update/Atualizacao/orvalis%20Empresa/";
    QStringList esperados;
    // The applications come in the order the folder lists them; "orvalisService.exe",
    // "WinRAR.exe", the updater and the other vendor's program are not managed.
    for (const char* nome :
         {"WinRAR.exe", "orvalisAssistente.exe", "orvalisPacoteDll.rar", "orvalisConectado.rar",
          "orvalisMonitorPublicacao.rar", "orvalisService.rar", "orvalisAssistente.rar",
          "orvalisConectado.rar", "orvalisEmpresa.rar", "orvalisMonitorPublicacao.rar"}) {
        esperados << "/" << base + nome;  // one probe of the files host before each
    }
    EXPECT_EQ(Pedidos(), esperados);

    // The installed executable stays until phase 6; the new one waits in tmp.
    EXPECT_EQ(Texto(kMestre + "\\orvalisEmpresa.exe"), "empresa antiga");
    EXPECT_EQ(Texto(kTmp + "\\orvalisEmpresa.exe"), "empresa nova");
    EXPECT_TRUE(instalacao.Existe(kTmp + "\\orvalisEmpresa.rar"));
    EXPECT_EQ(Texto(kTmp + "\\orvalisAssistente.exe"), "assistente de tmp");
    EXPECT_EQ(Texto(kMestre + "\\orvalisAssistente.exe"), "assistente novo")
        << "an application package's executable is not copied beside the updater";

    // Support packages: unpacked beside the updater, their executables one level up,
    // their archives gone but for the DLL package that the workstations take.
    EXPECT_EQ(Texto(kMestre + "\\WinRAR.exe"), "winrar");
    EXPECT_EQ(Texto(kMestre + "\\orvalisAssistente.exe"), "assistente novo");
    EXPECT_EQ(Texto(kMestre + "\\orvalis.dll"), "dll nova");
    EXPECT_TRUE(instalacao.Existe(kMestre + "\\orvalisPacoteDll.rar"));
    for (const char* nome : {"orvalisConectado", "orvalisMonitorPublicacao", "orvalisService"}) {
        SCOPED_TRACE(nome);
        EXPECT_FALSE(instalacao.Existe(kMestre + "\\" + nome + ".rar"));
        EXPECT_TRUE(instalacao.Existe(kMestre + "\\" + nome + ".exe"));
        EXPECT_TRUE(instalacao.Existe(InstalacaoTemporaria::kRaizServidor + "\\" + nome + ".exe"));
    }

    const QStringList log = janela.LinhasLog();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log[0].endsWith(" FASE 2 de 7 - DOWNLOAD DOS APLICATIVOS:"));
    EXPECT_TRUE(log[1].endsWith("   - Fazendo download do WinRAR.exe em: " + kMestre));
    EXPECT_TRUE(log[2].endsWith("   - OK"));
    EXPECT_TRUE(log.last().endsWith("   - OK"));
    EXPECT_TRUE(log[log.size() - 2].endsWith(
        "   - Fazendo download do orvalisMonitorPublicacao.rar em: " + kMestre + "\\tmp"));
    // Each extraction waits 5000 ms and 1000 ms; the loop starts after 2000 ms.
    const std::vector<uint32_t> esperas(plataforma.esperas.begin(), plataforma.esperas.end());
    std::vector<uint32_t> esperadas;
    for (int i = 0; i < 4; ++i) esperadas.insert(esperadas.end(), {5000, 1000});
    esperadas.push_back(2000);
    for (int i = 0; i < 4; ++i) esperadas.insert(esperadas.end(), {5000, 1000});
    EXPECT_EQ(esperas, esperadas);
}

TEST_F(Fase2, AFailedSupportPackageEndsThePhaseBeforeTheApplications) {
    Iniciar(FalhaDeCaminho("orvalisConectado.rar", "404"));
    EXPECT_TRUE(Executar());
    EXPECT_FALSE(janela.itDownloadAplicativo);
    const QStringList log = janela.LinhasLog();
    EXPECT_TRUE(log.last().endsWith("   - Erro: Falha no download do orvalisConectado.rar"));
    EXPECT_TRUE(log[log.size() - 2].endsWith("   - Fazendo download do orvalisConectado.rar em: " +
                                             kMestre));
    EXPECT_FALSE(Pedidos().join(' ').contains("orvalisEmpresa.rar"));
    EXPECT_FALSE(instalacao.Existe(kTmp)) << "the staging folder comes after the support packages";
}

TEST_F(Fase2, AFailedApplicationPackageEndsTheLoopButNotThePhase) {
    Iniciar(FalhaDeCaminho("orvalisEmpresa.rar", "cortado"));
    EXPECT_FALSE(Executar());
    EXPECT_FALSE(janela.itDownloadAplicativo);
    EXPECT_TRUE(
        janela.LinhasLog().last().endsWith("   - Erro: Falha no download do orvalisEmpresa.rar"));
    // orvalisMonitorPublicacao.exe is listed after orvalisEmpresa.exe: its package is
    // fetched only once, as a support package.
    EXPECT_EQ(Pedidos().filter("orvalisMonitorPublicacao.rar").size(), 1);
    EXPECT_EQ(Texto(kMestre + "\\orvalisEmpresa.exe"), "empresa antiga");
}

TEST_F(Fase2, ALeftoverPartFileFailsThePackageAndIsRemoved) {
    instalacao.Escrever(kMestre + "\\orvalisService.rar.part", "resto");
    Iniciar();
    EXPECT_TRUE(Executar());
    EXPECT_FALSE(instalacao.Existe(kMestre + "\\orvalisService.rar.part"));
    EXPECT_FALSE(janela.itDownloadAplicativo) << "the run must stop before the database";
    const QStringList log = janela.LinhasLog();
    EXPECT_TRUE(log.last().endsWith("   - Erro: Falha no download do orvalisService.rar"));
    EXPECT_FALSE(log.join('\n').contains("Descompactação"));
}

TEST_F(Fase2, ExtractionNeverOverwritesAnExistingFile) {
    instalacao.Escrever(kMestre + "\\orvalis.dll", "dll do cliente");
    Iniciar();
    EXPECT_FALSE(Executar());
    EXPECT_EQ(Texto(kMestre + "\\orvalis.dll"), "dll do cliente");
}

TEST_F(Fase2, ADamagedArchiveTakesTheExtractionErrorPath) {
    std::string inteiro = Rar({{"orvalisConectado.exe", std::string(4096, 'x')}});
    Publicar("orvalisConectado.rar", inteiro.substr(0, inteiro.size() / 2));
    Iniciar();
    EXPECT_TRUE(Executar());
    EXPECT_FALSE(janela.itDownloadAplicativo);
    const QStringList log = janela.LinhasLog();
    ASSERT_GE(log.size(), 3);
    EXPECT_TRUE(log[log.size() - 3].endsWith("   - Erro: Descompactação do orvalisConectado.rar"));
    // The line that says what was refused.
    EXPECT_TRUE(log[log.size() - 2].contains("   - O arquivo compactado ") &&
                log[log.size() - 2].contains(" está danificado ou incompleto: "))
        << log[log.size() - 2].toStdString();
    EXPECT_TRUE(log.last().endsWith("   - Erro: Falha no download do orvalisConectado.rar"));
    EXPECT_FALSE(instalacao.Existe(kMestre + "\\orvalisConectado.exe"))
        << "no half-written executable";
}

TEST_F(Fase2, TheFilesHostDownMakesEveryPackageComeFromTheMainSite) {
    Iniciar(QJsonObject{{"servidores", QJsonObject{{"arquivos", QJsonObject{{"modo", "fora"}}}}}});
    EXPECT_FALSE(Executar());
    EXPECT_TRUE(janela.itDownloadAplicativo);
    QStringList caminhos;
    for (const QJsonObject& e : servidores.Eventos("site", "pedido")) {
        caminhos << e["linha"].toString().section(' ', 1, 1);
    }
    EXPECT_EQ(caminhos.filter("/update/").size(), 10);
    EXPECT_EQ(caminhos.filter(QRegularExpression("^/$")).size(), 10);
}

// --- stalled and unframed transfers ---

TEST_F(Fase2, AStalledOrUnframedPackageFailsWithTheUsualLinesAndKeepsTheOldFile) {
    // The whole program's transfers, shortened: waits of 10 s, a low-speed window of 2 s.
    ClienteHttp::SubstituirLimites(teste::LimitesDeTeste(std::chrono::milliseconds(10000),
                                                         std::chrono::milliseconds(10000),
                                                         std::chrono::milliseconds(2000)));
    const char* modos[] = {"gotejado", "sem_fim", "sem_tamanho", "sem_tamanho_sem_fim"};
    Iniciar();
    for (const char* modo : modos) {
        SCOPED_TRACE(modo);
        servidores.DefinirFalhasWeb(FalhaDeCaminho("orvalisConectado.rar", modo));
        janela.Memo1->clear();
        janela.itDownloadAplicativo = true;
        instalacao.Escrever(kMestre + "\\orvalisConectado.rar", "pacote anterior");

        bool abortou = false;
        teste::TerminarDentroDe(std::chrono::seconds(120), [&] { abortou = Executar(); });

        EXPECT_TRUE(abortou);
        EXPECT_FALSE(janela.itDownloadAplicativo);
        const QStringList log = janela.LinhasLog();
        ASSERT_GE(log.size(), 2);
        EXPECT_TRUE(log[log.size() - 2].endsWith(
            "   - Fazendo download do orvalisConectado.rar em: " + kMestre));
        EXPECT_TRUE(log.last().endsWith("   - Erro: Falha no download do orvalisConectado.rar"));
        EXPECT_EQ(Texto(kMestre + "\\orvalisConectado.rar"), "pacote anterior");
        EXPECT_FALSE(instalacao.Existe(kMestre + "\\orvalisConectado.exe"));
    }
}

// --- a refused certificate and the plain-HTTP fallback ---

struct CasoQueda {
    const char* nome;
    const char* modoArquivos;
    const char* modoSite;
    QStringList recusas;  // the refusal lines, after the announcement; none: the run goes on
};

TEST_F(Fase2, APlainHttpFallbackOnlyForHostsThatDoNotAnswer) {
    const CasoQueda casos[] = {
        {"files host refused, main site down",
         "nao_confiavel",
         "fora",
         {"   - Erro: Certificado recusado de arquivos.orvalis.test (emissor não confiável): "
          "CN=arquivos.orvalis.test, emitido por CN=CA desconhecida"}},
        {"both refused",
         "expirado",
         "outro_nome",
         {"   - Erro: Certificado recusado de arquivos.orvalis.test (certificado vencido): "
          "CN=arquivos.orvalis.test, emitido por CN=orvalis teste CA",
          "   - Erro: Certificado recusado de www.orvalis.test (emitido para outro nome): "
          "CN=outro.orvalis.test, emitido por CN=orvalis teste CA"}},
        {"both down", "fora", "fora", {}},
    };
    for (const CasoQueda& caso : casos) {
        SCOPED_TRACE(caso.nome);
        ServidoresLocais web;
        QDir().mkpath(web.PastaArquivos() + kPacotes);
        for (const QString& nome :
             QDir(servidores.PastaArquivos() + kPacotes).entryList(QDir::Files)) {
            QFile::copy(servidores.PastaArquivos() + kPacotes + nome,
                        web.PastaArquivos() + kPacotes + nome);
        }
        web.IniciarWeb(QJsonObject{
            {"servidores", QJsonObject{{"arquivos", QJsonObject{{"modo", caso.modoArquivos}}},
                                       {"site", QJsonObject{{"modo", caso.modoSite}}}}}});
        Endpoints::Substituir(web.Fornecedor());
        instalacao.Escrever(kMestre + "\\WinRAR.exe", "winrar anterior");
        janela.Memo1->clear();
        janela.itDownloadAplicativo = true;

        const bool abortou = Executar();

        const QStringList log = teste::TextosDoLog(janela);
        if (caso.recusas.isEmpty()) {
            EXPECT_FALSE(abortou);
            EXPECT_TRUE(janela.itDownloadAplicativo);
            EXPECT_EQ(Texto(kMestre + "\\WinRAR.exe"), "winrar");
            EXPECT_EQ(web.Eventos("site_http", "pedido").size(), 10);
        } else {
            EXPECT_TRUE(abortou);
            EXPECT_FALSE(janela.itDownloadAplicativo);
            QStringList esperado{" FASE 2 de 7 - DOWNLOAD DOS APLICATIVOS:",
                                 "   - Fazendo download do WinRAR.exe em: " + kMestre};
            esperado += caso.recusas;
            esperado << "   - Erro: Download sem criptografia não permitido após um certificado "
                        "recusado."
                     << "   - Erro: Falha no download do WinRAR.exe";
            EXPECT_EQ(log, esperado);
            EXPECT_TRUE(web.Eventos("site_http", "conexao").isEmpty())
                << "nothing is asked over plain HTTP";
            EXPECT_EQ(Texto(kMestre + "\\WinRAR.exe"), "winrar anterior");
        }
    }
}

TEST_F(Fase2, ARefusalEarlierInTheRunStopsALaterFallback) {
    // The files host's certificate is refused, the main site answers: the package comes
    // over https from the main site.
    Iniciar(QJsonObject{
        {"servidores", QJsonObject{{"arquivos", QJsonObject{{"modo", "nao_confiavel"}}}}}});
    janela.BaixarEDescompactar("WinRAR.exe", kMestre, false);
    EXPECT_EQ(Texto(kMestre + "\\WinRAR.exe"), "winrar");

    // Then the main site stops answering its probe: the run's refusal stands, and the
    // next package is not fetched over plain HTTP.
    servidores.DefinirFalhasWeb(
        QJsonObject{{"servidores", QJsonObject{{"arquivos", QJsonObject{{"modo", "nao_confiavel"}}},
                                               {"site", QJsonObject{{"modo", "404"}}}}}});
    EXPECT_THROW(janela.BaixarEDescompactar("sql.rar", kTmp, true), EAbort);
    EXPECT_FALSE(janela.itDownloadAplicativo);
    EXPECT_TRUE(janela.LinhasLog().last().endsWith("   - Erro: Falha no download do sql.rar"));
    EXPECT_TRUE(servidores.Eventos("site_http", "conexao").isEmpty());
}

}  // namespace
}  // namespace orvalis
