// The SMTP and POP3 clients on their own: the time limits, the certificate check and a
// message that starts a line with a dot.
#include "app/Erros.h"
#include "net/ClientePop3.h"
#include "net/ClienteSmtp.h"
#include "net/ConfiguracaoTls.h"
#include "net/MensagemEmail.h"
#include "tests/support/PrazoExterno.h"
#include "tests/support/ServidorCorreio.h"

#include <QElapsedTimer>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <chrono>

namespace orvalis {
namespace {

using namespace std::chrono_literals;
using teste::ServidorCorreio;

const QString kHost = QStringLiteral("mail.orvalis.test");

class ClientesCorreio : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ServidorCorreio::Certificados(); }

    void SetUp() override {
        ASSERT_TRUE(ServidorCorreio::Resolve(kHost))
            << "mail.orvalis.test does not resolve: run the tests through scripts/run-tests";
    }

    static QJsonObject Configuracao(const QStringList& modos) {
        return {{"certificados", ServidorCorreio::Certificados()},
                {"usuario", "u@x.test"},
                {"senha", "s"},
                {"modos", QJsonArray::fromStringList(modos)}};
    }

    void PrepararSmtp(const ServidorCorreio& servidor) {
        smtp.host = kHost;
        smtp.porta = servidor.Porta();
        smtp.tls = &tls;
        smtp.usuario = "u@x.test";
        smtp.senha = "s";
        smtp.nomeCliente = "MAQUINA";
    }

    ConfiguracaoTls tls;
    ClienteSmtp smtp;
};

struct CasoLimite {
    const char* modo;
    bool conexao;  // the connect limit applies (else the inactivity limit)
};

TEST_F(ClientesCorreio, ASilentSmtpServerEndsAtItsLimit) {
    const CasoLimite casos[] = {{"sem_resposta", true}, {"mudo", false}};
    for (const CasoLimite& caso : casos) {
        SCOPED_TRACE(caso.modo);
        ServidorCorreio servidor(ServidorCorreio::Tipo::Smtp, Configuracao({caso.modo}));
        PrepararSmtp(servidor);
        smtp.limiteConexao = caso.conexao ? 1s : 30s;
        smtp.limiteInatividade = caso.conexao ? 30s : 1s;
        QElapsedTimer relogio;
        relogio.start();
        EXPECT_THROW(smtp.Conectar(), ErroOrvalis);
        EXPECT_LT(relogio.elapsed(), 10000);
        EXPECT_FALSE(smtp.Conectado());
    }
}

TEST_F(ClientesCorreio, ASilentPop3ServerEndsAtItsLimit) {
    ServidorCorreio servidor(ServidorCorreio::Tipo::Pop3, Configuracao({"mudo"}));
    ClientePop3 pop3;
    pop3.host = kHost;
    pop3.porta = servidor.Porta();
    pop3.usuario = "u@x.test";
    pop3.senha = "s";
    pop3.limiteInatividade = 1s;
    QElapsedTimer relogio;
    relogio.start();
    EXPECT_THROW(pop3.Conectar(), ErroOrvalis);
    EXPECT_LT(relogio.elapsed(), 10000);
    EXPECT_FALSE(pop3.Conectado());
}

// A server that sends too much, or too little for too long: each connection ends with
// its error, at the reply cap (64 KiB) or the low-speed rule (here 1 KiB/s over 2 s).
TEST_F(ClientesCorreio, AnEndlessOrDrippedReplyEndsTheConnection) {
    struct Caso {
        ServidorCorreio::Tipo tipo;
        const char* modo;
        const char* motivo;  // a piece of the error's text
    };
    const Caso casos[] = {
        // One line without end meets the engine's own cap on a line.
        {ServidorCorreio::Tipo::Smtp, "saudacao_sem_fim", "Line too long"},
        {ServidorCorreio::Tipo::Smtp, "ehlo_sem_fim", "65536 bytes"},
        {ServidorCorreio::Tipo::Smtp, "gotejado", "lenta demais"},
        {ServidorCorreio::Tipo::Pop3, "saudacao_sem_fim", "Line too long"},
        {ServidorCorreio::Tipo::Pop3, "gotejado", "lenta demais"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.modo);
        ServidorCorreio servidor(caso.tipo, Configuracao({caso.modo}));
        QString erro;
        bool conectado = true;
        teste::TerminarDentroDe(60s, [&] {
            try {
                if (caso.tipo == ServidorCorreio::Tipo::Smtp) {
                    ClienteSmtp cliente;
                    cliente.host = kHost;
                    cliente.porta = servidor.Porta();
                    cliente.tls = &tls;
                    cliente.nomeCliente = "MAQUINA";
                    cliente.velocidadeMinima = {1024, 2000ms};
                    cliente.Conectar();
                } else {
                    ClientePop3 cliente;
                    cliente.host = kHost;
                    cliente.porta = servidor.Porta();
                    cliente.usuario = "u@x.test";
                    cliente.senha = "s";
                    cliente.velocidadeMinima = {1024, 2000ms};
                    cliente.Conectar();
                }
            } catch (const ErroOrvalis& falha) {
                conectado = false;
                erro = falha.mensagem();
            }
        });
        EXPECT_FALSE(conectado);
        EXPECT_TRUE(erro.contains(QString::fromUtf8(caso.motivo))) << erro.toStdString();
    }
}

// However late the TLS handshake completes, the certificate must name the mail host.
TEST_F(ClientesCorreio, TheHostNameIsCheckedAfterALateHandshake) {
    struct Caso {
        const char* descricao;
        QStringList modos;
        double atraso;  // seconds before the server's side of the handshake starts
        bool conecta;
    };
    const Caso casos[] = {
        {"late, the right name", {}, 1.5, true},
        {"late, another name", {"outro_nome"}, 1.5, false},
        {"at once, another name", {"outro_nome"}, 0, false},
        {"late, an untrusted issuer", {"nao_confiavel"}, 1.5, false},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        QJsonObject configuracao = Configuracao(caso.modos);
        configuracao["atraso"] = caso.atraso;
        ServidorCorreio servidor(ServidorCorreio::Tipo::Smtp, configuracao);
        PrepararSmtp(servidor);
        smtp.limiteConexao = 10s;
        smtp.limiteInatividade = 1s;
        QString erro;
        try {
            smtp.Conectar();
        } catch (const ErroOrvalis& falha) {
            erro = falha.mensagem();
        }
        EXPECT_EQ(smtp.Conectado(), caso.conecta) << erro.toStdString();
        if (!caso.conecta) {
            EXPECT_TRUE(erro.contains("Certificado recusado de mail.orvalis.test"))
                << erro.toStdString();
            bool saudou = false;
            for (const QJsonObject& e : servidor.Registro()) {
                saudou = saudou || e["evento"].toString() == "servidor";
            }
            EXPECT_FALSE(saudou) << "nothing is said over a refused connection";
        }
        smtp.Desconectar();
    }
}

TEST_F(ClientesCorreio, SendsALineThatStartsWithADotIntact) {
    ServidorCorreio servidor(ServidorCorreio::Tipo::Smtp, Configuracao({}));
    PrepararSmtp(servidor);
    smtp.Conectar();
    ASSERT_TRUE(smtp.OfereceAuthLogin());
    smtp.AutenticarLogin();
    MensagemEmail mensagem;
    mensagem.remetente = {"u@x.test", ""};
    mensagem.destinatarios = {{"d@x.test", ""}};
    mensagem.assunto = "x";
    mensagem.corpo = {".", "..linha", "fim"};
    smtp.Enviar(mensagem);
    smtp.Desconectar();

    QString corpo;
    for (const QJsonObject& e : servidor.Registro()) {
        if (e["evento"].toString() == "mensagem") corpo = e["corpo"].toString();
    }
    EXPECT_EQ(corpo, ".\r\n..linha\r\nfim\r\n");
}

TEST_F(ClientesCorreio, RefusesAnAddressThatWouldBreakTheCommand) {
    ServidorCorreio servidor(ServidorCorreio::Tipo::Smtp, Configuracao({}));
    PrepararSmtp(servidor);
    smtp.Conectar();
    MensagemEmail mensagem;
    mensagem.remetente = {"u@x.test", ""};
    mensagem.destinatarios = {{"d@x.test>\r\nRCPT TO:<intruso@fora.test", ""}};
    EXPECT_THROW(smtp.Enviar(mensagem), ErroOrvalis);
    smtp.Desconectar();
    for (const QJsonObject& e : servidor.Registro()) {
        EXPECT_FALSE(e["linha"].toString().contains("intruso"));
    }
}

}  // namespace
}  // namespace orvalis
