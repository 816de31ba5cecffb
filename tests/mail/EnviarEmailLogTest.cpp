// The report e-mail end to end: the window's EnviarEmailLog against the local SMTP
// (implicit TLS) and POP3 servers, which record the dialogue and the message received.
#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "net/ClienteSmtp.h"
#include "net/CorpoEmail.h"
#include "net/Endpoints.h"
#include "net/EnviarEmailLog.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/ServidorCorreio.h"

#include <QFile>
#include <QJsonArray>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;
using teste::PlataformaTeste;
using teste::ServidorCorreio;

const QString kHostCorreio = QStringLiteral("mail.orvalis.test");
const QString kClienteEmail = QStringLiteral("cliente@padaria.test");
const QString kAssuntoSucesso = QStringLiteral(
    "orvalis Empresa - Atualização Concluída com Sucesso - Versão 2.8 - Padaria São João Ltda");

QStringList Lista(std::initializer_list<const char*> textos) {
    QStringList lista;
    for (const char* t : textos) lista << QString::fromUtf8(t);
    return lista;
}

QJsonArray Json(const QStringList& textos) {
    return QJsonArray::fromStringList(textos);
}

// The lines of a received text, broken as the message carries them.
QStringList Linhas(const QString& texto) {
    QStringList linhas = texto.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (!linhas.isEmpty() && linhas.last().isEmpty()) linhas.removeLast();
    return linhas;
}

struct Modos {
    QStringList smtp;
    QStringList pop3;
    QStringList recusados;  // addresses that RCPT TO refuses
};

Modos Smtp(const QStringList& modos) {
    return {modos, {}, {}};
}
Modos Pop3(const QStringList& modos) {
    return {{}, modos, {}};
}
Modos Recusando(const QString& endereco) {
    return {{}, {}, {endereco}};
}

class EnvioEmail : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ServidorCorreio::Certificados(); }

    void SetUp() override {
        ASSERT_TRUE(ServidorCorreio::Resolve(kHostCorreio))
            << "mail.orvalis.test does not resolve: run the tests through scripts/run-tests "
               "(a private /etc/hosts)";
    }

    // Starts both servers with the updater's own account and `modos`.
    void Iniciar(const Modos& modos = {}) {
        fornecedor = Endpoints::Constantes();
        fornecedor.emailHost = kHostCorreio;
        QJsonObject comum{{"certificados", ServidorCorreio::Certificados()},
                          {"usuario", fornecedor.emailConta},
                          {"senha", fornecedor.emailSenha}};
        QJsonObject smtpCfg = comum;
        smtpCfg.insert("modos", Json(modos.smtp));
        smtpCfg.insert("recusados", Json(modos.recusados));
        QJsonObject pop3Cfg = comum;
        pop3Cfg.insert("modos", Json(modos.pop3));
        smtp = std::make_unique<ServidorCorreio>(ServidorCorreio::Tipo::Smtp, smtpCfg);
        pop3 = std::make_unique<ServidorCorreio>(ServidorCorreio::Tipo::Pop3, pop3Cfg);
        fornecedor.smtpPorta = smtp->Porta();
        fornecedor.pop3Porta = pop3->Porta();
    }

    // The state that phase 1 and the outcome leave for a successful run.
    void PrepararSucesso() {
        janela.EmailCliente = kClienteEmail;
        janela.EmpresaAtualizando = QStringLiteral("Padaria São João Ltda");
        janela.AssuntoEmail = kAssuntoSucesso;
        janela.itErroAtualizacao = false;
        janela.CorpoEmail =
            MontarCorpoEmail(janela.EmpresaAtualizando, QStringLiteral("12.345.678/0001-90"),
                             QStringLiteral("José da Conceição"), QStringLiteral("(11) 3456-7890"),
                             janela.EmailCliente, QStringLiteral("MARIA"), janela.windowTitle(),
                             QStringLiteral("ACE"), QStringLiteral("2.7"), QStringLiteral("2.8"));
        janela.AdicionarLog(QStringLiteral(" FASE 1 de 7 - VERIFICAÇÕES INICIAIS"));
        janela.AdicionarLog(QStringLiteral("   - Testando conexão com o site da orvalis"));
        janela.AdicionarLog(QStringLiteral("   - OK"));
        janela.AdicionarLog(QStringLiteral(" FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:"));
    }

    void Enviar() { EnviarEmailLog(janela, fornecedor); }

    // What the log gained from the sending: the lines after the phase-7 heading.
    QStringList LinhasNovasDoLog() const {
        QStringList linhas = janela.LinhasLog();
        const qsizetype cabecalho = linhas.lastIndexOf(
            QRegularExpression(QStringLiteral(".* FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:$")));
        linhas = linhas.mid(cabecalho + 1);
        for (QString& linha : linhas)
            linha = linha.mid(QStringLiteral("10/12/2026 14:30:05").size());
        return linhas;
    }

    QStringList QuatroLinhas() const {
        return {QStringLiteral("   - Enviando e-mail com o log de atualização."),
                QStringLiteral("   - Destino 1: ") + janela.EmailCliente,
                QStringLiteral("   - Destino 2: ") + fornecedor.emailSuporte,
                QStringLiteral("   - Aguarde... Isso pode levar alguns minutos.")};
    }

    // The messages the SMTP server accepted, oldest first.
    QList<QJsonObject> Mensagens() const {
        QList<QJsonObject> mensagens;
        for (const QJsonObject& e : smtp->Registro()) {
            if (e["evento"].toString() == "mensagem") mensagens << e;
        }
        return mensagens;
    }

    // The client's lines to both servers in the order they arrived, each prefixed by
    // its server ("smtp: EHLO x").
    QStringList Dialogo() const {
        QList<QJsonObject> eventos = smtp->Registro() + pop3->Registro();
        std::stable_sort(eventos.begin(), eventos.end(),
                         [](const QJsonObject& a, const QJsonObject& b) {
                             return a["instante"].toInteger() < b["instante"].toInteger();
                         });
        QStringList linhas;
        for (const QJsonObject& e : eventos) {
            if (e["evento"].toString() != "cliente") continue;
            linhas << e["servidor"].toString() + QStringLiteral(": ") + e["linha"].toString();
        }
        return linhas;
    }

    static QString Base64(const QString& texto) {
        return QString::fromLatin1(texto.toUtf8().toBase64());
    }

    InstalacaoTemporaria instalacao;
    PlataformaTeste& plataforma = instalacao.plataforma();
    TfrmPrincipal janela{plataforma};
    Endpoints fornecedor;
    std::unique_ptr<ServidorCorreio> smtp;
    std::unique_ptr<ServidorCorreio> pop3;
};

TEST_F(EnvioEmail, DeliversTheWholeReportAsTheGoldenText) {
    Iniciar();
    PrepararSucesso();

    ASSERT_NO_THROW(Enviar());

    EXPECT_EQ(LinhasNovasDoLog(), QuatroLinhas() << QStringLiteral("   - OK"))
        << "the OK line comes after the body was taken, so it is not in the message";
    EXPECT_TRUE(plataforma.mensagens.empty());
    const QList<QJsonObject> mensagens = Mensagens();
    ASSERT_EQ(mensagens.size(), 1);
    const QJsonObject& m = mensagens[0];

    QFile arquivo(ServidorCorreio::ArquivoFonte(QStringLiteral("tests/mail/corpo-sucesso.txt")));
    ASSERT_TRUE(arquivo.open(QIODevice::ReadOnly));
    QString dourado = QString::fromUtf8(arquivo.readAll());
    dourado.replace(QStringLiteral("<notas>"), Endpoints::Atuais().urlNotas);
    dourado.replace(QStringLiteral("<suporte>"), fornecedor.emailSuporte);
    const QStringList esperado = Linhas(dourado);

    QStringList recebido = Linhas(m["corpo"].toString());
    static const QRegularExpression carimbo(
        QStringLiteral("^\\d{2}/\\d{2}/\\d{4} \\d{2}:\\d{2}:\\d{2}"));
    for (QString& linha : recebido) linha.replace(carimbo, QStringLiteral("<carimbo>"));
    for (qsizetype i = 0; i < std::max(esperado.size(), recebido.size()); ++i) {
        EXPECT_EQ(recebido.value(i), esperado.value(i)) << "body line " << i + 1;
    }
    EXPECT_EQ(recebido.size(), esperado.size());

    EXPECT_EQ(m["remetente"].toString(), fornecedor.emailConta);
    EXPECT_EQ(m["destinatarios"].toArray(), Json({fornecedor.emailSuporte, kClienteEmail}));
    EXPECT_EQ(m["assunto"].toString(), kAssuntoSucesso);
    EXPECT_EQ(m["tipo"].toString(), "text/plain");
    EXPECT_EQ(m["charset"].toString(), "utf-8");

    QMap<QString, QString> cabecalhos;
    QStringList nomes;
    for (const QJsonValue& c : m["cabecalhos"].toArray()) {
        nomes << c[0].toString();
        cabecalhos.insert(c[0].toString(), c[1].toString());
    }
    EXPECT_EQ(nomes, Lista({"From", "To", "Subject", "Date", "MIME-Version", "Content-Type",
                            "Content-Transfer-Encoding"}));
    EXPECT_EQ(cabecalhos["From"],
              "\"" + fornecedor.emailConta + "\" <" + fornecedor.emailConta + ">")
        << "the mailbox with itself as display name";
    EXPECT_EQ(cabecalhos["To"], fornecedor.emailSuporte + ", " + kClienteEmail);
    const int minutos = plataforma.agora.offsetFromUtc() / 60;
    const QString fuso =
        QString(minutos < 0 ? '-' : '+') +
        QStringLiteral("%1").arg(std::abs(minutos) / 60 * 100 + std::abs(minutos) % 60, 4, 10,
                                 QLatin1Char('0'));
    EXPECT_EQ(cabecalhos["Date"], "Thu, 10 Dec 2026 14:30:05 " + fuso)
        << "the platform's clock at the sending";
    EXPECT_EQ(cabecalhos["MIME-Version"], "1.0");

    EXPECT_TRUE(
        janela.CorpoEmail.endsWith(QStringLiteral("   - O sistema já está liberado para o uso.")))
        << "the field keeps the extended body";
}

TEST_F(EnvioEmail, KeepsEveryAccentedLetterInSevenBitTransport) {
    Iniciar();
    PrepararSucesso();
    janela.EmpresaAtualizando = QStringLiteral("Ótica Ação & Cia — Çedilha ñ 日本 😀");
    janela.AssuntoEmail =
        QStringLiteral("orvalis Empresa - FALHA DA ATUALIZAÇÃO DO SISTEMA - Versão 2.8 - ") +
        janela.EmpresaAtualizando;
    janela.itErroAtualizacao = true;
    janela.CorpoEmail = QStringLiteral(" Cliente: ") + janela.EmpresaAtualizando;

    Enviar();

    const QList<QJsonObject> mensagens = Mensagens();
    ASSERT_EQ(mensagens.size(), 1);
    const QJsonObject& m = mensagens[0];
    EXPECT_EQ(m["assunto"].toString(), janela.AssuntoEmail);
    const QStringList corpo = Linhas(m["corpo"].toString());
    ASSERT_FALSE(corpo.isEmpty());
    EXPECT_EQ(corpo[0], QStringLiteral(" Cliente: ") + janela.EmpresaAtualizando);
    EXPECT_EQ(corpo.mid(corpo.size() - 4),
              Lista({" FALHA NA ATUALIZAÇÃO DO SISTEMA:",
                     "   - O seu sistema e banco de dados não foram atualizados.",
                     "   - Entre em contato com o suporte técnico da orvalis.",
                     "   - A versão anterior, sem alterações, continua disponível para o uso."}));
    const QString bruto = m["bruto"].toString();
    EXPECT_TRUE(std::all_of(bruto.begin(), bruto.end(), [](QChar c) { return c.unicode() < 0x80; }))
        << "headers and body travel as 7-bit text";
    for (const QString& linha : bruto.split(QStringLiteral("\r\n"))) {
        EXPECT_LE(linha.size(), 78) << linha.toStdString();
    }
}

TEST_F(EnvioEmail, LineBreaksInTheCompanyOrTheAddressInjectNoHeader) {
    Iniciar();
    PrepararSucesso();
    janela.EmpresaAtualizando =
        QStringLiteral("Padaria\r\nBcc: intruso@fora.test\r\nX-Injetado: sim");
    janela.AssuntoEmail = QStringLiteral(
                              "orvalis Empresa - Atualização Concluída com Sucesso - "
                              "Versão 2.8 - ") +
                          janela.EmpresaAtualizando;
    janela.EmailCliente = QStringLiteral("cliente@padaria.test\r\nsegundo@padaria.test\n");

    Enviar();

    const QList<QJsonObject> mensagens = Mensagens();
    ASSERT_EQ(mensagens.size(), 1);
    const QJsonObject& m = mensagens[0];
    QStringList nomes;
    for (const QJsonValue& c : m["cabecalhos"].toArray()) nomes << c[0].toString();
    EXPECT_EQ(nomes, Lista({"From", "To", "Subject", "Date", "MIME-Version", "Content-Type",
                            "Content-Transfer-Encoding"}));
    EXPECT_EQ(m["destinatarios"].toArray(),
              Json({fornecedor.emailSuporte, "cliente@padaria.test", "segundo@padaria.test"}))
        << "a line break separates two addresses, as \";\" does";
    EXPECT_EQ(m["assunto"].toString(),
              QStringLiteral("orvalis Empresa - Atualização Concluída com Sucesso - Versão 2.8 - "
                             "Padaria Bcc: intruso@fora.test X-Injetado: sim"));
    for (const QString& linha : Dialogo())
        EXPECT_FALSE(linha.contains("intruso")) << linha.toStdString();
}

struct CasoDestinatarios {
    const char* emailCliente;
    std::initializer_list<const char*> clientes;  // after the support mailbox
};

TEST_F(EnvioEmail, SendsToTheSupportMailboxAndEachAddressOfTheCustomer) {
    Iniciar();
    const CasoDestinatarios casos[] = {
        {"", {}},
        {"cliente@padaria.test", {"cliente@padaria.test"}},
        {"a@padaria.test;b@padaria.test", {"a@padaria.test", "b@padaria.test"}},
        {"a@padaria.test, b@padaria.test", {"a@padaria.test", "b@padaria.test"}},
        {" ;a@padaria.test;; ,", {"a@padaria.test"}},
        {"Fulano de Tal <fulano@padaria.test>", {"fulano@padaria.test"}},
    };
    qsizetype enviadas = 0;
    for (const CasoDestinatarios& caso : casos) {
        SCOPED_TRACE(caso.emailCliente);
        PrepararSucesso();
        janela.EmailCliente = QString::fromUtf8(caso.emailCliente);

        Enviar();

        const QList<QJsonObject> mensagens = Mensagens();
        ASSERT_EQ(mensagens.size(), ++enviadas);
        QStringList esperados{fornecedor.emailSuporte};
        esperados << Lista(caso.clientes);
        EXPECT_EQ(mensagens.last()["destinatarios"].toArray(), Json(esperados));
        EXPECT_EQ(LinhasNovasDoLog().value(1),
                  QStringLiteral("   - Destino 1: ") + janela.EmailCliente);
    }
    EXPECT_EQ(Linhas(Mensagens().last()["para"].toString()).size(), 1);
}

TEST_F(EnvioEmail, LogsInToPop3AfterEhloAndBeforeAuthLogin) {
    Iniciar();
    PrepararSucesso();

    Enviar();

    EXPECT_EQ(
        Dialogo(),
        QStringList(
            {"smtp: EHLO SERVIDOR-TESTE", "pop3: USER " + fornecedor.emailConta,
             "pop3: PASS " + fornecedor.emailSenha, "smtp: AUTH LOGIN",
             "smtp: " + Base64(fornecedor.emailConta), "smtp: " + Base64(fornecedor.emailSenha),
             "smtp: MAIL FROM:<" + fornecedor.emailConta + ">",
             "smtp: RCPT TO:<" + fornecedor.emailSuporte + ">",
             "smtp: RCPT TO:<" + kClienteEmail + ">", "smtp: DATA", "pop3: QUIT", "smtp: QUIT"}));
    bool tls = false;
    for (const QJsonObject& e : smtp->Registro()) {
        if (e["evento"].toString() == "tls") {
            tls = true;
            EXPECT_EQ(e["sni"].toString(), kHostCorreio);
        }
        if (e["evento"].toString() == "autenticacao") {
            EXPECT_TRUE(e["aceita"].toBool());
        }
    }
    EXPECT_TRUE(tls);
}

struct CasoSemLogin {
    const char* modo;
    std::initializer_list<const char*> saudacao;  // the client's first lines to SMTP
};

TEST_F(EnvioEmail, SendsWithoutAuthenticationWhenLoginIsNotOffered) {
    const CasoSemLogin casos[] = {
        {"sem_login", {"EHLO SERVIDOR-TESTE"}},
        {"sem_auth", {"EHLO SERVIDOR-TESTE"}},
        {"recusar_ehlo", {"EHLO SERVIDOR-TESTE", "HELO SERVIDOR-TESTE"}},
    };
    for (const CasoSemLogin& caso : casos) {
        SCOPED_TRACE(caso.modo);
        Iniciar(Smtp({caso.modo}));
        janela.Memo1->clear();
        PrepararSucesso();

        ASSERT_NO_THROW(Enviar());

        EXPECT_EQ(Mensagens().size(), 1);
        EXPECT_EQ(LinhasNovasDoLog().value(4), QStringLiteral("   - OK"));
        QStringList smtpLinhas;
        for (const QString& linha : Dialogo()) {
            if (linha.startsWith("smtp: ")) smtpLinhas << linha.mid(6);
        }
        EXPECT_EQ(smtpLinhas.mid(0, static_cast<qsizetype>(caso.saudacao.size())),
                  Lista(caso.saudacao));
        EXPECT_FALSE(smtpLinhas.join('\n').contains("AUTH")) << smtpLinhas.join('\n').toStdString();
    }
}

struct CasoPop3 {
    const char* modo;
    const char* trecho;  // part of the message box text
};

TEST_F(EnvioEmail, ARefusedPop3LoginShowsItsTextAndSendsNothing) {
    const CasoPop3 casos[] = {
        {"recusar_login", "-ERR [AUTH] Usuario ou senha invalidos"},
        {"recusar_saudacao", "-ERR Servico indisponivel"},
        {"fora", "refused"},
        {"saudacao_sem_fim", "Line too long"},
    };
    for (const CasoPop3& caso : casos) {
        SCOPED_TRACE(caso.modo);
        Iniciar(Pop3({caso.modo}));
        janela.Memo1->clear();
        plataforma.mensagens.clear();
        PrepararSucesso();
        const QString corpoAntes = janela.CorpoEmail;

        ASSERT_NO_THROW(Enviar());

        ASSERT_EQ(plataforma.mensagens.size(), 1u);
        EXPECT_TRUE(plataforma.mensagens[0].texto.contains(QString::fromUtf8(caso.trecho)))
            << plataforma.mensagens[0].texto.toStdString();
        EXPECT_EQ(plataforma.mensagens[0].titulo, "Aviso do Sistema");
        EXPECT_EQ(plataforma.mensagens[0].icone, MessageIcon::None);
        EXPECT_EQ(LinhasNovasDoLog(), QuatroLinhas());
        EXPECT_TRUE(Mensagens().isEmpty());
        EXPECT_EQ(janela.CorpoEmail, corpoAntes) << "nothing composed";
        EXPECT_EQ(Dialogo().filter(QRegularExpression("^smtp: ")),
                  QStringList({"smtp: EHLO SERVIDOR-TESTE", "smtp: QUIT"}))
            << "SMTP worked and is quit all the same";
    }
}

TEST_F(EnvioEmail, EverySendingFailureIsSwallowedAfterTheBodyWasExtended) {
    const Modos casos[] = {
        Smtp({"recusar_auth"}),
        Recusando(kClienteEmail),
        Smtp({"recusar_dados"}),
        Smtp({"cair_apos_ehlo"}),
    };
    for (const Modos& caso : casos) {
        SCOPED_TRACE((caso.smtp + caso.recusados).join(',').toStdString());
        Iniciar(caso);
        janela.Memo1->clear();
        PrepararSucesso();

        ASSERT_NO_THROW(Enviar());

        EXPECT_EQ(LinhasNovasDoLog(), QuatroLinhas());
        EXPECT_TRUE(plataforma.mensagens.empty());
        EXPECT_TRUE(Mensagens().isEmpty());
        EXPECT_TRUE(janela.CorpoEmail.contains(QStringLiteral("LOG DE EXECUÇÃO:")));
        EXPECT_EQ(Dialogo().filter(QRegularExpression("^pop3: ")).last(), "pop3: QUIT");
    }
}

struct CasoConexao {
    const char* nome;
    Modos modos;
    bool pelaEnderecoIp;  // connect to 127.0.0.1, a name the certificate does not carry
};

TEST_F(EnvioEmail, RaisesWhenTheSmtpConnectionCannotBeMade) {
    const CasoConexao casos[] = {
        {"unreachable", Smtp({"fora"}), false},
        {"untrusted certificate", Smtp({"nao_confiavel"}), false},
        {"another host name", {}, true},
        {"EHLO and HELO refused", Smtp({"recusar_ehlo", "recusar_helo"}), false},
        {"a certificate for another name", Smtp({"outro_nome"}), false},
        {"an endless greeting", Smtp({"saudacao_sem_fim"}), false},
        {"an endless EHLO reply", Smtp({"ehlo_sem_fim"}), false},
    };
    for (const CasoConexao& caso : casos) {
        SCOPED_TRACE(caso.nome);
        Iniciar(caso.modos);
        if (caso.pelaEnderecoIp) fornecedor.emailHost = QStringLiteral("127.0.0.1");
        janela.Memo1->clear();
        PrepararSucesso();
        const QString corpoAntes = janela.CorpoEmail;

        EXPECT_THROW(Enviar(), ErroOrvalis);

        EXPECT_EQ(LinhasNovasDoLog(), QuatroLinhas());
        EXPECT_TRUE(plataforma.mensagens.empty());
        EXPECT_TRUE(pop3->Registro().isEmpty()) << "POP3 is never reached";
        EXPECT_EQ(janela.CorpoEmail, corpoAntes);
        EXPECT_FALSE(janela.IdSMTP1->Conectado());
    }
}

TEST_F(EnvioEmail, TheWindowsOperationUsesTheEndpointsInForce) {
    // Under the tests the mail host in force is a closed port on 127.0.0.1.
    PrepararSucesso();
    EXPECT_THROW(janela.EnviarEmailLog(), ErroOrvalis);
    EXPECT_EQ(LinhasNovasDoLog().value(2),
              QStringLiteral("   - Destino 2: ") + Endpoints::Atuais().emailSuporte);
}

TEST_F(EnvioEmail, EachSendingAppendsTheLogAndTheOutcomeAgain) {
    Iniciar();
    janela.EmailCliente = kClienteEmail;
    janela.AssuntoEmail = kAssuntoSucesso;
    janela.AdicionarLog(QStringLiteral(" FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:"));

    Enviar();
    janela.itErroAtualizacao = true;
    Enviar();

    const QList<QJsonObject> mensagens = Mensagens();
    ASSERT_EQ(mensagens.size(), 2);
    const QStringList primeiro = Linhas(mensagens[0]["corpo"].toString());
    ASSERT_GE(primeiro.size(), 3);
    EXPECT_EQ(primeiro.mid(0, 3), Lista({"", "", "LOG DE EXECUÇÃO:"}))
        << "without the template the body begins with two empty lines";
    const QStringList segundo = Linhas(mensagens[1]["corpo"].toString());
    EXPECT_EQ(segundo.mid(0, primeiro.size()), primeiro);
    EXPECT_EQ(segundo.filter("LOG DE EXECUÇÃO:").size(), 2);
    EXPECT_EQ(segundo.last(), QStringLiteral("   - A versão anterior, sem alterações, continua "
                                             "disponível para o uso."));
}

}  // namespace
}  // namespace orvalis
