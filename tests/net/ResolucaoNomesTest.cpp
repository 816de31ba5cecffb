// Name resolution within its limit. The test host names resolve through the private hosts
// file of the test run; for the others, a thread of the test runs in a mount namespace
// of its own, where /etc/resolv.conf names a local name server (servidor_dns.py) that
// never answers, or that says there is no such name.
#include "app/Erros.h"
#include "net/ClienteFtp.h"
#include "net/ClienteHttp.h"
#include "net/ClientePop3.h"
#include "net/ClienteSmtp.h"
#include "net/ConfiguracaoTls.h"
#include "net/ResolucaoNomes.h"
#include "tests/support/LimitesTeste.h"
#include "tests/support/PrazoExterno.h"
#include "tests/support/ServidoresLocais.h"

#include <Poco/Exception.h>
#include <Poco/Net/NetException.h>

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <thread>

namespace orvalis::teste {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLimite{1000};

enum class Resultado { Endereco, Limite, SemNome };

// Runs `acao` on a thread whose /etc/resolv.conf is `resolvConf`; the rest of the
// process keeps its own. Empty when that was done, else why it could not be.
std::string ComResolvConf(const QString& resolvConf, const std::function<void()>& acao) {
    std::string impedimento;
    std::thread([&] {
        // The thread's own mount namespace, whose mounts reach nobody else; the lookups
        // the resolver starts from here run in it too.
        if (unshare(CLONE_NEWNS) != 0) {
            impedimento = std::string("unshare: ") + std::strerror(errno);
            return;
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(QFile::encodeName(resolvConf).constData(), "/etc/resolv.conf", nullptr, MS_BIND,
                  nullptr) != 0) {
            impedimento = std::string("mount: ") + std::strerror(errno);
            return;
        }
        acao();
    }).join();
    return impedimento;
}

class ResolucaoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ServidoresLocais::NomesDeTesteResolvem())
            << "the test host names must resolve to 127.0.0.1: run through scripts/run-tests";
        ASSERT_TRUE(pasta_.isValid());
    }

    // Starts the name server in `modo` and writes a resolv.conf that names it alone,
    // with the system resolver's own waits far longer than the limit under test.
    QString ResolvConf(const char* modo) {
        const QString endereco = servidores.IniciarDns(QJsonObject{{"modo", modo}});
        const QString caminho = pasta_.path() + "/resolv.conf";
        QFile arquivo(caminho);
        EXPECT_TRUE(arquivo.open(QIODevice::WriteOnly));
        arquivo.write(("nameserver " + endereco + "\noptions timeout:30 attempts:5\n").toUtf8());
        return caminho;
    }
    QStringList NomesPedidos() const {
        QStringList nomes;
        for (const QJsonObject& e : servidores.RegistroDns()) nomes << e["nome"].toString();
        return nomes;
    }

    ServidoresLocais servidores;

  private:
    QTemporaryDir pasta_;
};

struct CasoResolucao {
    const char* nome;
    const char* modoDns;
    const char* host;
    Resultado resultado;
    bool perguntado;  // the name server was asked
};

void PrintTo(const CasoResolucao& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class ResolverTest : public ResolucaoTest, public ::testing::WithParamInterface<CasoResolucao> {};

TEST_P(ResolverTest, AcabaDentroDoLimite) {
    const CasoResolucao& caso = GetParam();
    const QString resolvConf = ResolvConf(caso.modoDns);
    Resultado obtido = Resultado::Endereco;
    std::string endereco;

    const std::string impedimento = ComResolvConf(resolvConf, [&] {
        TerminarDentroDe(std::chrono::seconds(60), [&] {
            try {
                endereco = ResolucaoNomes::Resolver(caso.host, 80, kLimite,
                                                    ResolucaoNomes::Familia::SoIpv4)
                               .toString();
            } catch (const Poco::TimeoutException&) {
                obtido = Resultado::Limite;
            } catch (const Poco::Net::HostNotFoundException&) {
                obtido = Resultado::SemNome;
            }
        });
    });
    if (!impedimento.empty()) GTEST_SKIP() << "no private resolv.conf here: " << impedimento;

    EXPECT_EQ(obtido, caso.resultado);
    if (caso.resultado == Resultado::Endereco) {
        EXPECT_EQ(endereco, "127.0.0.1:80");
    }
    if (caso.perguntado) {
        EXPECT_TRUE(ServidoresLocais::Aguardar([&] { return !NomesPedidos().isEmpty(); }));
        EXPECT_TRUE(NomesPedidos().contains(caso.host)) << NomesPedidos().join(',').toStdString();
    } else {
        EXPECT_TRUE(NomesPedidos().isEmpty()) << NomesPedidos().join(',').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    ResolucaoNomes, ResolverTest,
    ::testing::Values(
        CasoResolucao{"NomeDoArquivoDeHosts", "mudo", "arquivos.orvalis.test", Resultado::Endereco,
                      false},
        CasoResolucao{"EnderecoNumerico", "mudo", "127.0.0.1", Resultado::Endereco, false},
        CasoResolucao{"ServidorDeNomesMudo", "mudo", "mudo.orvalis.test", Resultado::Limite, true},
        CasoResolucao{"NomeInexistente", "nxdomain", "nada.orvalis.test", Resultado::SemNome,
                      true}),
    [](const auto& info) { return std::string(info.param.nome); });

// Every client of the vendor's hosts resolves within its own limit, and fails as it
// fails for a host that cannot be reached.
TEST_F(ResolucaoTest, CadaClienteDesisteDoNomeNoLimite) {
    const QString resolvConf = ResolvConf("mudo");
    bool http = true;
    QString erroFtp;
    QString erroPop3;
    QString erroSmtp;
    const auto erroDe = [](const std::function<void()>& conectar) {
        try {
            conectar();
        } catch (const ErroOrvalis& erro) {
            return erro.mensagem();
        }
        return QString();
    };

    const std::string impedimento = ComResolvConf(resolvConf, [&] {
        TerminarDentroDe(std::chrono::seconds(60), [&] {
            ClienteHttp::Limites limites = LimitesDeTeste(milliseconds(5000), milliseconds(5000));
            limites.resolucao = kLimite;
            ClienteHttp cliente(limites);
            http = cliente.Obter("https://mudo.orvalis.test/",
                                 [](const char*, size_t) { return true; });

            ClienteFtp ftp;
            ftp.host = "mudo.orvalis.test";
            ftp.limiteResolucao = kLimite;
            erroFtp = erroDe([&] { ftp.Conectar(); });

            ClientePop3 pop3;
            pop3.host = "mudo.orvalis.test";
            pop3.limiteResolucao = kLimite;
            erroPop3 = erroDe([&] { pop3.Conectar(); });

            const ConfiguracaoTls tls;
            ClienteSmtp smtp;
            smtp.host = "mudo.orvalis.test";
            smtp.tls = &tls;
            smtp.limiteResolucao = kLimite;
            erroSmtp = erroDe([&] { smtp.Conectar(); });
        });
    });
    if (!impedimento.empty()) GTEST_SKIP() << "no private resolv.conf here: " << impedimento;

    EXPECT_FALSE(http);
    EXPECT_TRUE(erroFtp.contains("resolução")) << erroFtp.toStdString();
    EXPECT_TRUE(erroPop3.contains("resolução")) << erroPop3.toStdString();
    EXPECT_TRUE(erroSmtp.contains("resolução")) << erroSmtp.toStdString();
}

TEST(LimitesResolucao, TrintaSegundosEmCadaCliente) {
    EXPECT_EQ(ClienteHttp::Limites{}.resolucao, milliseconds(30000));
    EXPECT_EQ(ClienteFtp{}.limiteResolucao, milliseconds(30000));
    EXPECT_EQ(ClientePop3{}.limiteResolucao, milliseconds(30000));
    EXPECT_EQ(ClienteSmtp{}.limiteResolucao, milliseconds(30000));
}

}  // namespace
}  // namespace orvalis::teste
