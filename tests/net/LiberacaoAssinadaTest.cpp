// Phase 2 of a signed release against the local stand-in of the vendor's web site: the
// manifest and its signature are fetched first, and every package is checked against its
// row before anything uses it.
#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "liberacao/AssinaturaLiberacao.h"
#include "liberacao/Base64.h"
#include "liberacao/ChavePrivadaEd25519.h"
#include "net/Endpoints.h"
#include "tests/fixtures/EscritorRar4.h"
#include "tests/support/FornecedorLocal.h"
#include "tests/support/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/ServidoresLocais.h"
#include "tests/support/TextosDoLog.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace orvalis {
namespace {

using teste::EntradaCompactada;
using teste::EscritorRar4;
using teste::FornecedorLocal;
using teste::InstalacaoTemporaria;
using teste::ServidoresLocais;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kTmp = InstalacaoTemporaria::kPastaMestre + "\\tmp";
const QString kPacotes = "/update/Atualizacao/orvalis Empresa/";
const QString kUrlPacotes = "/update/Atualizacao/orvalis%20Empresa/";
const QString kConferindo = "   - Conferindo a assinatura da liberação";
const QString kAssinaturaInvalida = "   - Erro: Assinatura da liberação inválida";

std::string Rar(std::vector<EntradaCompactada> entradas) {
    return EscritorRar4::Montar(entradas);
}

// The stand-in's standard release of 2.8, signed by the stand-in's key unless a case
// signs otherwise, served by its web site alone; the installation holds an executable of
// its own, an archiver and the DLL package that the workstations take.
class Fase2Assinada : public ::testing::Test {
  public:
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    TfrmPrincipal janela{plataforma};
    FornecedorLocal fornecedor;
    Endpoints anteriores = Endpoints::Atuais();
    const ChavePrivadaEd25519& chave = fornecedor.Chave();
    QString chavePublica = chave.Publica().Texto();

    void SetUp() override {
        ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
            << "run inside scripts/run-tests, whose hosts file names the test hosts";
        ServidoresLocais::ConfiarNaAutoridade();
        fornecedor.PublicarLiberacao("2.8", {FornecedorLocal::Pacote121()});
        instalacao.Escrever(kMestre + "\\orvalisEmpresa.exe", "empresa antiga");
        instalacao.Escrever(kMestre + "\\WinRAR.exe", "winrar antigo");
        instalacao.Escrever(kMestre + "\\orvalisPacoteDll.rar", "pacote das estações");
        janela.itDiretorioPastaMestre = kMestre;
        janela.itVersaoSite = "2.8";
        janela.itDownloadAplicativo = true;
    }
    void TearDown() override { Endpoints::Substituir(anteriores); }

    static QString Novo(const QString& executavel) {
        return QString::fromStdString(FornecedorLocal::ConteudoExecutavel(executavel, "2.8"));
    }
    QString PastaLiberacao() const { return fornecedor.PastaLiberacao(); }
    void Publicar(const QString& nome, const std::string& conteudo) {
        fornecedor.Publicar(nome, conteudo);
    }
    QByteArray Publicado(const QString& nome) const {
        QFile arquivo(PastaLiberacao() + "/" + nome);
        return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray();
    }
    void Remover(const QString& nome) { ASSERT_TRUE(QFile::remove(PastaLiberacao() + "/" + nome)); }
    // One byte of a published file flipped, in its middle.
    void Alterar(const QString& nome) {
        QByteArray conteudo = Publicado(nome);
        ASSERT_FALSE(conteudo.isEmpty());
        conteudo[conteudo.size() / 2] = static_cast<char>(conteudo[conteudo.size() / 2] ^ 0x20);
        Publicar(nome, conteudo.toStdString());
    }
    void Assinar(const QString& versao = "2.8") { fornecedor.Assinar(versao); }
    void Assinar(const ChavePrivadaEd25519& com, const QString& versao) {
        FornecedorLocal::AssinarPasta(PastaLiberacao(), com, versao);
    }
    void Iniciar(const QJsonObject& falhas = {}) {
        fornecedor.web().IniciarWeb(falhas);
        Endpoints endpoints = fornecedor.Fornecedor();
        endpoints.chavePublica = chavePublica;
        Endpoints::Substituir(endpoints);
    }
    static QJsonObject Falha(const QString& caminho, const char* modo) {
        return QJsonObject{{"caminhos", QJsonObject{{caminho, QJsonObject{{"modo", modo}}}}}};
    }
    static QJsonObject SemHttps() {
        return QJsonObject{{"servidores", QJsonObject{{"arquivos", QJsonObject{{"modo", "fora"}}},
                                                      {"site", QJsonObject{{"modo", "fora"}}}}}};
    }
    bool Executar() {
        try {
            janela.Fase2DownloadAplicativos();
        } catch (const EAbort&) {
            return true;
        }
        return false;
    }
    QStringList Pedidos(const QString& servidor = "arquivos") {
        QStringList caminhos;
        for (const QJsonObject& e : fornecedor.web().Eventos(servidor, "pedido")) {
            caminhos << e["linha"].toString().section(' ', 1, 1);
        }
        return caminhos;
    }
    // The packages asked for, without the probes and the manifest's two files.
    QStringList PacotesPedidos(const QString& servidor = "arquivos") {
        QStringList pacotes;
        for (const QString& caminho : Pedidos(servidor)) {
            const QString nome = caminho.section('/', -1);
            if (caminho.startsWith(kUrlPacotes) && !nome.startsWith("orvalisLiberacao.")) {
                pacotes << nome;
            }
        }
        return pacotes;
    }
    QStringList Textos() const { return teste::TextosDoLog(janela); }
    QString Texto(const QString& caminho) const {
        return QString::fromUtf8(instalacao.Ler(caminho));
    }
    // Every file left under a name of the check, in the updater's folder and in tmp.
    QStringList RestosDeConferencia() const {
        QStringList restos;
        for (const QString& pasta : {kMestre, kTmp}) {
            for (const QString& nome : instalacao.Listar(pasta)) {
                if (nome.endsWith(".conferir") || nome.endsWith(".baixando")) restos << nome;
            }
        }
        return restos;
    }
};

TEST_F(Fase2Assinada, ASignedReleaseIsFetchedCheckedAndInstalled) {
    Assinar();
    Iniciar();
    EXPECT_FALSE(Executar());
    EXPECT_TRUE(janela.itDownloadAplicativo);

    QStringList esperados{"/", kUrlPacotes + "orvalisLiberacao.ini", "/",
                          kUrlPacotes + "orvalisLiberacao.sig"};
    for (const char* nome :
         {"WinRAR.exe", "orvalisAssistente.exe", "orvalisPacoteDll.rar", "orvalisConectado.rar",
          "orvalisMonitorPublicacao.rar", "orvalisService.rar", "orvalisAssistente.rar",
          "orvalisConectado.rar", "orvalisEmpresa.rar", "orvalisMonitorPublicacao.rar"}) {
        esperados << "/" << kUrlPacotes + nome;
    }
    EXPECT_EQ(Pedidos(), esperados);

    const QStringList textos = Textos();
    ASSERT_GE(textos.size(), 4);
    EXPECT_EQ(textos.mid(0, 4),
              QStringList({" FASE 2 de 7 - DOWNLOAD DOS APLICATIVOS:", kConferindo, "   - OK",
                           "   - Fazendo download do WinRAR.exe em: " + kMestre}));
    EXPECT_FALSE(textos.join('\n').contains("Erro"));
    EXPECT_EQ(Texto(kMestre + "\\WinRAR.exe"), Novo("WinRAR.exe"));
    EXPECT_EQ(Texto(kMestre + "\\orvalisComum.dll"), "orvalisComum.dll 2.8");
    EXPECT_EQ(Texto(kMestre + "\\orvalisConectado.exe"), Novo("orvalisConectado.exe"));
    EXPECT_EQ(Texto(kTmp + "\\orvalisEmpresa.exe"), Novo("orvalisEmpresa.exe"));
    EXPECT_EQ(RestosDeConferencia(), QStringList());
}

TEST_F(Fase2Assinada, WithoutAKeyNothingIsFetchedButThePackagesAsBefore) {
    Assinar();
    // With the check off nothing finds the change.
    Publicar("orvalisConectado.rar", Rar({{"orvalisConectado.exe", "conectado alterado"}}));
    chavePublica.clear();
    Iniciar();
    EXPECT_FALSE(Executar());
    EXPECT_TRUE(janela.itDownloadAplicativo);
    EXPECT_FALSE(Pedidos().join(' ').contains("orvalisLiberacao"))
        << Pedidos().join(' ').toStdString();
    EXPECT_EQ(Pedidos().size(), 20) << "one probe and one package, ten times";
    EXPECT_FALSE(Textos().contains(kConferindo));
    EXPECT_EQ(Texto(kMestre + "\\orvalisConectado.exe"), "conectado alterado");
}

TEST_F(Fase2Assinada, OverPlainHttpASignedReleaseInstalls) {
    Assinar();
    Iniciar(SemHttps());
    EXPECT_FALSE(Executar());
    EXPECT_TRUE(janela.itDownloadAplicativo);
    EXPECT_TRUE(Pedidos("site_http").contains(kUrlPacotes + "orvalisLiberacao.sig"));
    EXPECT_EQ(PacotesPedidos("site_http").size(), 10);
    EXPECT_EQ(Texto(kMestre + "\\orvalisConectado.exe"), Novo("orvalisConectado.exe"));
    EXPECT_EQ(Texto(kTmp + "\\orvalisEmpresa.exe"), Novo("orvalisEmpresa.exe"));
}

TEST_F(Fase2Assinada, OverPlainHttpATamperedPackageIsRefused) {
    Assinar();
    Publicar("orvalisConectado.rar", Rar({{"orvalisConectado.exe", "conectado de outro"}}));
    Iniciar(SemHttps());
    EXPECT_TRUE(Executar());
    EXPECT_FALSE(janela.itDownloadAplicativo);
    EXPECT_EQ(Textos().mid(Textos().size() - 2),
              QStringList({"   - Erro: O pacote orvalisConectado.rar não confere com o manifesto "
                           "da liberação",
                           "   - Erro: Falha no download do orvalisConectado.rar"}));
    EXPECT_FALSE(instalacao.Existe(kMestre + "\\orvalisConectado.exe"));
    EXPECT_FALSE(instalacao.Existe(InstalacaoTemporaria::kRaizServidor + "\\orvalisConectado.exe"));
}

// --- the manifest refused: phase 2 ends before any package ---

struct CasoManifesto {
    const char* caso;
    // Publishes and signs as the case needs; returns the web server's faults.
    std::function<QJsonObject(Fase2Assinada&)> preparar;
    QString linha;  // the one error line
    // Nothing at all asked of the files host, not even a probe: the key is refused
    // before any traffic.
    bool nadaPedido = false;
};

void PrintTo(const CasoManifesto& caso, std::ostream* saida) {
    *saida << caso.caso;
}

class ManifestoRecusado : public Fase2Assinada,
                          public ::testing::WithParamInterface<CasoManifesto> {};

TEST_P(ManifestoRecusado, EndsThePhaseBeforeAnyPackage) {
    const QJsonObject falhas = GetParam().preparar(*this);
    Iniciar(falhas);
    EXPECT_TRUE(Executar()) << "the silent abort";
    EXPECT_FALSE(janela.itDownloadAplicativo);
    EXPECT_EQ(Textos(), QStringList({" FASE 2 de 7 - DOWNLOAD DOS APLICATIVOS:", kConferindo,
                                     GetParam().linha}));
    EXPECT_EQ(PacotesPedidos(), QStringList());
    if (GetParam().nadaPedido) {
        EXPECT_EQ(Pedidos(), QStringList()) << "not even a probe";
    }
    EXPECT_EQ(Texto(kMestre + "\\WinRAR.exe"), "winrar antigo");
    EXPECT_FALSE(instalacao.Existe(kTmp)) << "the staging folder comes after the packages";
}

QJsonObject Nenhuma(Fase2Assinada&) {
    return {};
}

INSTANTIATE_TEST_SUITE_P(
    Fase2, ManifestoRecusado,
    ::testing::Values(
        CasoManifesto{"AFlippedByteInTheManifest",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          t.Alterar("orvalisLiberacao.ini");
                          return QJsonObject();
                      },
                      kAssinaturaInvalida},
        CasoManifesto{"AFlippedByteInTheSignature",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          QByteArray texto = t.Publicado("orvalisLiberacao.sig");
                          texto[20] = texto[20] == 'A' ? 'B' : 'A';
                          t.Publicar("orvalisLiberacao.sig", texto.toStdString());
                          return QJsonObject();
                      },
                      kAssinaturaInvalida},
        CasoManifesto{"AManifestSignedByAnotherKey",
                      [](Fase2Assinada& t) {
                          t.Assinar(ChavePrivadaEd25519::Gerar(), "2.8");
                          return QJsonObject();
                      },
                      kAssinaturaInvalida},
        CasoManifesto{"ASignatureThatIsNotBase64",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          t.Publicar("orvalisLiberacao.sig", "assinatura\r\n");
                          return QJsonObject();
                      },
                      kAssinaturaInvalida},
        CasoManifesto{"AnotherVersion",
                      [](Fase2Assinada& t) {
                          t.Assinar("2.7");
                          return QJsonObject();
                      },
                      "   - Erro: Manifesto da liberação é da versão 2.7 e não da 2.8"},
        CasoManifesto{"ASignedManifestThatCannotBeRead",
                      [](Fase2Assinada& t) {
                          const QByteArray texto = "[liberacao]\nversao=2.8\n\n[pacotes]\n";
                          t.Publicar("orvalisLiberacao.ini", texto.toStdString());
                          t.Publicar(
                              "orvalisLiberacao.sig",
                              AssinaturaLiberacao::Texto(t.chave.Assinar(texto)).toStdString());
                          return QJsonObject();
                      },
                      "   - Erro: Manifesto da liberação inválido"},
        CasoManifesto{"NoManifestPublished", Nenhuma,
                      "   - Erro: Falha no download do orvalisLiberacao.ini"},
        CasoManifesto{"TheManifestAnswers404",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          return Fase2Assinada::Falha(kPacotes + "orvalisLiberacao.ini", "404");
                      },
                      "   - Erro: Falha no download do orvalisLiberacao.ini"},
        CasoManifesto{"TheSignatureAnswers404",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          return Fase2Assinada::Falha(kPacotes + "orvalisLiberacao.sig", "404");
                      },
                      "   - Erro: Falha no download do orvalisLiberacao.sig"},
        CasoManifesto{"TheManifestCutShort",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          return Fase2Assinada::Falha(kPacotes + "orvalisLiberacao.ini", "cortado");
                      },
                      "   - Erro: Falha no download do orvalisLiberacao.ini"},
        CasoManifesto{"AManifestLargerThanAnyRelease",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          t.Publicar("orvalisLiberacao.ini", std::string(2 << 20, 'x'));
                          return QJsonObject();
                      },
                      "   - Erro: Falha no download do orvalisLiberacao.ini"},
        CasoManifesto{"AKeyThatIsNotAKey",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          t.chavePublica = "chave do fornecedor";
                          return QJsonObject();
                      },
                      "   - Erro: Chave pública do fornecedor inválida", true},
        CasoManifesto{"AKeyOfAnotherLength",
                      [](Fase2Assinada& t) {
                          t.Assinar();
                          t.chavePublica = QString::fromLatin1(
                              Base64::Codificar(t.chave.Publica().Bytes().left(31)));
                          return QJsonObject();
                      },
                      "   - Erro: Chave pública do fornecedor inválida", true}),
    [](const ::testing::TestParamInfo<CasoManifesto>& info) { return info.param.caso; });

// --- a package refused: deleted, never extracted or installed ---

struct CasoPacote {
    const char* caso;
    const char* pacote;
    std::function<void(Fase2Assinada&)> preparar;  // before the servers start
    const char* erro;  // what did not match: "não confere com o" or "não consta do"
    bool abortaFase;   // a support package ends phase 2 with the silent abort
    bool pedido;       // asked of the server (one the manifest lacks is not even fetched)
    // Files of the installation (Windows paths) that keep their content, and that are
    // not there, after the refusal.
    std::vector<std::pair<QString, QString>> intactos;
    QStringList ausentes;
};

void PrintTo(const CasoPacote& caso, std::ostream* saida) {
    *saida << caso.caso;
}

class PacoteRecusado : public Fase2Assinada, public ::testing::WithParamInterface<CasoPacote> {};

TEST_P(PacoteRecusado, IsDeletedAndFailsTheDownload) {
    GetParam().preparar(*this);
    Iniciar();
    EXPECT_EQ(Executar(), GetParam().abortaFase);
    EXPECT_FALSE(janela.itDownloadAplicativo);
    const QString pacote = GetParam().pacote;
    EXPECT_EQ(Textos().mid(Textos().size() - 2),
              QStringList({"   - Erro: O pacote " + pacote + " " + GetParam().erro +
                               " manifesto da liberação",
                           "   - Erro: Falha no download do " + pacote}));
    EXPECT_EQ(RestosDeConferencia(), QStringList());
    EXPECT_EQ(PacotesPedidos().contains(pacote), GetParam().pedido);
    // Nothing of it reached the server's folders; what they held stays.
    EXPECT_FALSE(instalacao.Existe(kTmp + "\\" + pacote));
    EXPECT_FALSE(instalacao.Existe(kTmp + "\\orvalisEmpresa.exe"));
    EXPECT_EQ(Texto(kMestre + "\\orvalisEmpresa.exe"), "empresa antiga");
    for (const auto& [arquivo, conteudo] : GetParam().intactos) {
        EXPECT_EQ(Texto(arquivo), conteudo) << arquivo.toStdString();
    }
    for (const QString& arquivo : GetParam().ausentes) {
        EXPECT_FALSE(instalacao.Existe(arquivo)) << arquivo.toStdString();
    }
}

auto Alterado(const char* nome) {
    return [nome](Fase2Assinada& t) {
        t.Assinar();
        t.Alterar(nome);
    };
}

auto ForaDoManifesto(const char* nome) {
    return [nome](Fase2Assinada& t) {
        const std::string conteudo = t.Publicado(nome).toStdString();
        t.Remover(nome);
        t.Assinar();
        t.Publicar(nome, conteudo);
    };
}

void ComUmByteAMais(Fase2Assinada& t) {
    t.Assinar();
    t.Publicar("orvalisService.rar", t.Publicado("orvalisService.rar").toStdString() + "x");
}

const std::pair<QString, QString> kDllDasEstacoes = {kMestre + "\\orvalisPacoteDll.rar",
                                                     "pacote das estações"};
const char* kNaoConfere = "não confere com o";
const char* kNaoConsta = "não consta do";
const QString kConectado = kMestre + "\\orvalisConectado.exe";
const QString kConectadoAcima = InstalacaoTemporaria::kRaizServidor + "\\orvalisConectado.exe";

INSTANTIATE_TEST_SUITE_P(
    Fase2, PacoteRecusado,
    ::testing::Values(CasoPacote{"TheArchiverKeepsTheOldOne",
                                 "WinRAR.exe",
                                 Alterado("WinRAR.exe"),
                                 kNaoConfere,
                                 true,
                                 true,
                                 {{kMestre + "\\WinRAR.exe", "winrar antigo"}, kDllDasEstacoes},
                                 {}},
                      CasoPacote{"TheDllPackageKeepsTheWorkstationsCopy",
                                 "orvalisPacoteDll.rar",
                                 Alterado("orvalisPacoteDll.rar"),
                                 kNaoConfere,
                                 true,
                                 true,
                                 {kDllDasEstacoes},
                                 {kMestre + "\\orvalisComum.dll"}},
                      CasoPacote{"ASupportPackage",
                                 "orvalisConectado.rar",
                                 Alterado("orvalisConectado.rar"),
                                 kNaoConfere,
                                 true,
                                 true,
                                 {},
                                 {kMestre + "\\orvalisConectado.rar", kConectado, kConectadoAcima}},
                      CasoPacote{"ASupportPackageWithAByteAdded",
                                 "orvalisService.rar",
                                 ComUmByteAMais,
                                 kNaoConfere,
                                 true,
                                 true,
                                 {},
                                 {kMestre + "\\orvalisService.exe"}},
                      CasoPacote{"AnApplicationPackage",
                                 "orvalisEmpresa.rar",
                                 Alterado("orvalisEmpresa.rar"),
                                 kNaoConfere,
                                 false,
                                 true,
                                 {},
                                 {}},
                      CasoPacote{"ASupportPackageMissingFromTheManifest",
                                 "orvalisService.rar",
                                 ForaDoManifesto("orvalisService.rar"),
                                 kNaoConsta,
                                 true,
                                 false,
                                 {},
                                 {kMestre + "\\orvalisService.exe"}},
                      CasoPacote{"AnApplicationPackageMissingFromTheManifest",
                                 "orvalisEmpresa.rar",
                                 ForaDoManifesto("orvalisEmpresa.rar"),
                                 kNaoConsta,
                                 false,
                                 false,
                                 {},
                                 {}}),
    [](const ::testing::TestParamInfo<CasoPacote>& info) { return info.param.caso; });

}  // namespace
}  // namespace orvalis
