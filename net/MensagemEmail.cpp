#include "net/MensagemEmail.h"

#include "platform/Ansi.h"

#include <Poco/Net/QuotedPrintableEncoder.h>

#include <QLocale>

#include <sstream>
#include <string>

namespace orvalis {

namespace {

// A header line is kept below the 78 characters that mail readers expect; longer
// values are folded (CR LF and a blank) between words.
constexpr qsizetype kLarguraCabecalho = 76;
// "=?UTF-8?B?" + "?=" around at most 39 bytes of text (52 base64 characters): a word
// of 64 characters, within the 75 that encoded words may have, and short enough to
// follow "Subject: " on the first line.
constexpr qsizetype kBytesPorPalavra = 39;

bool Imprimivel(const QString& texto) {
    for (QChar c : texto) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) return false;
    }
    return true;
}

// A line break (or any control character) inside a header value would end the header
// there and let the rest of the value pose as a header of its own. Each becomes a blank
// (a CR LF pair one blank).
QString UmaLinha(const QString& texto) {
    QString limpo;
    limpo.reserve(texto.size());
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto[i];
        if (c == u'\r' && i + 1 < texto.size() && texto[i + 1] == u'\n') continue;
        limpo += (c.unicode() < 0x20 || c.unicode() == 0x7f) ? QChar(u' ') : c;
    }
    return limpo;
}

// RFC 2047 "B" words of UTF-8. Words are cut only between characters: a reader
// decodes each word on its own, and half a character would arrive as garbage (Poco's
// MailMessage::encodeWord cuts wherever its line length says).
QStringList PalavrasCodificadas(const QString& texto) {
    QStringList palavras;
    QByteArray pedaco;
    auto fechar = [&] {
        if (pedaco.isEmpty()) return;
        palavras << QStringLiteral("=?UTF-8?B?") + QString::fromLatin1(pedaco.toBase64()) +
                        QStringLiteral("?=");
        pedaco.clear();
    };
    for (qsizetype i = 0; i < texto.size(); ++i) {
        qsizetype fim = i + 1;
        if (texto[i].isHighSurrogate() && fim < texto.size() && texto[fim].isLowSurrogate()) {
            ++fim;
        }
        const QByteArray caractere = texto.mid(i, fim - i).toUtf8();
        if (pedaco.size() + caractere.size() > kBytesPorPalavra) fechar();
        pedaco += caractere;
        i = fim - 1;
    }
    fechar();
    return palavras;
}

// Joins the pieces of a header value with `separador`, folding before a piece that
// would pass the line width. `usado` is what the line already holds ("Subject: ").
QString Dobrar(const QStringList& pecas, const QString& separador, qsizetype usado) {
    QString valor;
    qsizetype linha = usado;
    for (qsizetype i = 0; i < pecas.size(); ++i) {
        if (i > 0) {
            const qsizetype depois = linha + separador.size() + pecas[i].size();
            if (depois > kLarguraCabecalho) {
                valor += separador.trimmed() + QStringLiteral("\r\n ");
                linha = 1;
            } else {
                valor += separador;
                linha += separador.size();
            }
        }
        valor += pecas[i];
        linha += pecas[i].size();
    }
    return valor;
}

QString TextoSimplesOuCodificado(const QString& texto, qsizetype usado) {
    const QString linha = UmaLinha(texto);
    if (Imprimivel(linha) && usado + linha.size() <= kLarguraCabecalho) return linha;
    return Dobrar(PalavrasCodificadas(linha), QStringLiteral(" "), usado);
}

// A display name: a quoted string when it is plain ASCII, encoded words otherwise.
QString NomeExibicao(const QString& nome) {
    const QString linha = UmaLinha(nome);
    if (!Imprimivel(linha)) return PalavrasCodificadas(linha).join(QLatin1Char(' '));
    QString citado = QStringLiteral("\"");
    for (QChar c : linha) {
        if (c == u'"' || c == u'\\') citado += QLatin1Char('\\');
        citado += c;
    }
    return citado + QLatin1Char('"');
}

QString Caixa(const MensagemEmail::Endereco& e) {
    const QString endereco = UmaLinha(e.endereco);
    if (e.nome.isEmpty()) return endereco;
    return NomeExibicao(e.nome) + QStringLiteral(" <") + endereco + QLatin1Char('>');
}

// RFC 5322 date, with English names whatever the machine's language.
QString DataCabecalho(const QDateTime& data) {
    const QLocale c = QLocale::c();
    const int deslocamento = data.offsetFromUtc() / 60;
    const int absoluto = deslocamento < 0 ? -deslocamento : deslocamento;
    return c.toString(data, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) +
           (deslocamento < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1%2")
               .arg(absoluto / 60, 2, 10, QLatin1Char('0'))
               .arg(absoluto % 60, 2, 10, QLatin1Char('0'));
}

std::string QuotedPrintable(const std::string& texto) {
    std::ostringstream saida;
    Poco::Net::QuotedPrintableEncoder codificador(saida);
    codificador << texto;
    codificador.close();
    return saida.str();
}

}  // namespace

void MensagemEmail::Limpar() {
    remetente = {};
    destinatarios.clear();
    assunto.clear();
    data = {};
    corpo.clear();
}

QList<MensagemEmail::Endereco> MensagemEmail::LerListaEnderecos(const QString& lista) {
    QList<Endereco> enderecos;
    QString parte;
    auto fechar = [&] {
        const QString texto = parte.trimmed();
        parte.clear();
        if (texto.isEmpty()) return;
        const qsizetype abre = texto.lastIndexOf(QLatin1Char('<'));
        if (abre >= 0 && texto.endsWith(QLatin1Char('>'))) {
            QString nome = texto.left(abre).trimmed();
            if (nome.size() >= 2 && nome.startsWith(u'"') && nome.endsWith(u'"')) {
                nome = nome.mid(1, nome.size() - 2);
            }
            const QString endereco = texto.mid(abre + 1, texto.size() - abre - 2).trimmed();
            if (!endereco.isEmpty()) enderecos.append({endereco, nome});
            return;
        }
        enderecos.append({texto, QString()});
    };
    for (QChar c : lista) {
        if (c == u';' || c == u',' || c == u'\r' || c == u'\n') {
            fechar();
        } else {
            parte += c;
        }
    }
    fechar();
    return enderecos;
}

// The header is written here rather than by Poco's MailMessage, whose writer lets a line
// break in a value through and quotes display names without escaping their quotes.
QByteArray MensagemEmail::Texto() const {
    QStringList caixas;
    for (const Endereco& e : destinatarios) caixas << Caixa(e);

    QString cabecalho;
    auto campo = [&cabecalho](const QString& nome, const QString& valor) {
        cabecalho += nome + QStringLiteral(": ") + valor + QStringLiteral("\r\n");
    };
    campo(QStringLiteral("From"), Caixa(remetente));
    if (!caixas.isEmpty()) campo(QStringLiteral("To"), Dobrar(caixas, QStringLiteral(", "), 4));
    campo(QStringLiteral("Subject"), TextoSimplesOuCodificado(assunto, 9));
    if (data.isValid()) campo(QStringLiteral("Date"), DataCabecalho(data));
    campo(QStringLiteral("MIME-Version"), QStringLiteral("1.0"));
    campo(QStringLiteral("Content-Type"), QStringLiteral("text/plain; charset=UTF-8"));
    campo(QStringLiteral("Content-Transfer-Encoding"), QStringLiteral("quoted-printable"));

    QString texto;
    for (const QString& linha : corpo) texto += linha + QStringLiteral("\r\n");

    std::string mensagem = ToUtf8(cabecalho);
    mensagem += "\r\n";
    mensagem += QuotedPrintable(ToUtf8(texto));
    if (mensagem.size() < 2 || mensagem.compare(mensagem.size() - 2, 2, "\r\n") != 0) {
        mensagem += "\r\n";
    }
    return QByteArray(mensagem.data(), static_cast<qsizetype>(mensagem.size()));
}

}  // namespace orvalis
