// The message's own rules: the address list and the text that follows DATA.
#include "net/MensagemEmail.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using Endereco = MensagemEmail::Endereco;

struct CasoLista {
    const char* lista;
    QList<Endereco> enderecos;
};

TEST(ListaEnderecos, SplitsAtSemicolonsCommasAndLineBreaks) {
    const CasoLista casos[] = {
        {"", {}},
        {" ; , ", {}},
        {"a@x.test", {{"a@x.test", ""}}},
        {"s@x.test;", {{"s@x.test", ""}}},
        {"s@x.test;a@x.test, b@x.test", {{"s@x.test", ""}, {"a@x.test", ""}, {"b@x.test", ""}}},
        {"a@x.test\r\nb@x.test\nc@x.test\r",
         {{"a@x.test", ""}, {"b@x.test", ""}, {"c@x.test", ""}}},
        {"Fulano <f@x.test>", {{"f@x.test", "Fulano"}}},
        {"\"Fulano de Tal\" <f@x.test>;b@x.test",
         {{"f@x.test", "Fulano de Tal"}, {"b@x.test", ""}}},
    };
    for (const CasoLista& caso : casos) {
        SCOPED_TRACE(caso.lista);
        const QList<Endereco> lidos =
            MensagemEmail::LerListaEnderecos(QString::fromUtf8(caso.lista));
        ASSERT_EQ(lidos.size(), caso.enderecos.size());
        for (qsizetype i = 0; i < lidos.size(); ++i) {
            EXPECT_EQ(lidos[i].endereco, caso.enderecos[i].endereco);
            EXPECT_EQ(lidos[i].nome, caso.enderecos[i].nome);
        }
    }
}

MensagemEmail Exemplo() {
    MensagemEmail m;
    m.remetente = {"conta@x.test", "conta@x.test"};
    m.destinatarios = {{"s@x.test", ""}, {"c@x.test", "Cliente \"Bom\""}};
    m.assunto = "Assunto simples";
    m.data = QDateTime(QDate(2026, 12, 10), QTime(14, 30, 5), QTimeZone(-3 * 3600));
    m.corpo = {"linha 1", ".ponto", "", "fim  "};
    return m;
}

QList<QByteArray> Cabecalho(const QByteArray& texto) {
    return texto.left(texto.indexOf("\r\n\r\n")).split('\n');
}

TEST(TextoMensagem, HasTheHeadersOfAPlainUtf8Text) {
    const QByteArray texto = Exemplo().Texto();
    EXPECT_TRUE(
        texto.startsWith("From: \"conta@x.test\" <conta@x.test>\r\n"
                         "To: s@x.test, \"Cliente \\\"Bom\\\"\" <c@x.test>\r\n"
                         "Subject: Assunto simples\r\n"
                         "Date: Thu, 10 Dec 2026 14:30:05 -0300\r\n"
                         "MIME-Version: 1.0\r\n"
                         "Content-Type: text/plain; charset=UTF-8\r\n"
                         "Content-Transfer-Encoding: quoted-printable\r\n"
                         "\r\n"))
        << texto.toStdString();
    EXPECT_TRUE(texto.endsWith("\r\nlinha 1\r\n.ponto\r\n\r\nfim =20\r\n"))
        << "trailing blanks survive; the dot-stuffing is the transfer's";
}

TEST(TextoMensagem, EncodesAccentedSubjectsInWordsThatNeverSplitACharacter) {
    MensagemEmail m = Exemplo();
    m.assunto = QString(60, u'ç') + QStringLiteral("😀");
    const QList<QByteArray> linhas = Cabecalho(m.Texto());
    QByteArray assunto;
    bool dentro = false;
    for (const QByteArray& bruta : linhas) {
        const QByteArray linha = bruta.endsWith('\r') ? bruta.chopped(1) : bruta;
        EXPECT_LE(linha.size(), 78) << linha.toStdString();
        if (linha.startsWith("Subject: ")) {
            dentro = true;
            assunto += linha.mid(9);
        } else if (dentro && linha.startsWith(' ')) {
            assunto += linha;
        } else {
            dentro = false;
        }
    }
    QString decodificado;
    for (const QByteArray& palavra : assunto.split(' ')) {
        if (palavra.isEmpty()) continue;
        ASSERT_TRUE(palavra.startsWith("=?UTF-8?B?") && palavra.endsWith("?="))
            << palavra.toStdString();
        const QByteArray bytes = QByteArray::fromBase64(palavra.mid(10, palavra.size() - 12));
        // Each word must be whole UTF-8 on its own.
        EXPECT_EQ(QString::fromUtf8(bytes).toUtf8(), bytes);
        decodificado += QString::fromUtf8(bytes);
    }
    EXPECT_EQ(decodificado, m.assunto);
}

TEST(TextoMensagem, NoFieldAddsAHeaderLine) {
    MensagemEmail m = Exemplo();
    m.assunto = "A\r\nBcc: x@y.test\nX-Um: 1\rX-Dois: 2";
    m.destinatarios = {{"c@x.test\r\nBcc: x@y.test", "Nome\r\nX-Tres: 3"}};
    m.remetente = {"conta@x.test", "Çonta\nX-Quatro: 4"};
    for (const QByteArray& bruta : Cabecalho(m.Texto())) {
        const QByteArray linha = bruta.endsWith('\r') ? bruta.chopped(1) : bruta;
        EXPECT_FALSE(linha.contains('\r')) << linha.toStdString();
        const bool continuacao = linha.startsWith(' ');
        const QByteArray nome = linha.left(linha.indexOf(':'));
        EXPECT_TRUE(continuacao ||
                    QList<QByteArray>({"From", "To", "Subject", "Date", "MIME-Version",
                                       "Content-Type", "Content-Transfer-Encoding"})
                        .contains(nome))
            << linha.toStdString();
    }
}

TEST(TextoMensagem, LimparEmptiesEveryField) {
    MensagemEmail m = Exemplo();
    m.Limpar();
    EXPECT_TRUE(m.remetente.endereco.isEmpty() && m.remetente.nome.isEmpty());
    EXPECT_TRUE(m.destinatarios.isEmpty());
    EXPECT_TRUE(m.assunto.isEmpty());
    EXPECT_FALSE(m.data.isValid());
    EXPECT_TRUE(m.corpo.isEmpty());
}

}  // namespace
}  // namespace orvalis
