#include "database/PacoteSql.h"

#include "app/Erros.h"
#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <QByteArray>

namespace orvalis {

namespace {

QString Decodificar(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    const bool le = bytes.startsWith("\xFF\xFE");
    if (le || bytes.startsWith("\xFE\xFF")) {
        const QByteArray corpo = bytes.mid(2);
        QString texto(corpo.size() / 2, Qt::Uninitialized);
        QChar* saida = texto.data();
        for (qsizetype i = 0; i + 1 < corpo.size(); i += 2) {
            const auto a = static_cast<unsigned char>(corpo[i]);
            const auto b = static_cast<unsigned char>(corpo[i + 1]);
            *saida++ = QChar(static_cast<char16_t>(le ? (b << 8) | a : (a << 8) | b));
        }
        return texto;
    }
    return FromAnsi(bytes);
}

QString QuebrasCrLf(const QString& texto) {
    QString resultado;
    resultado.reserve(texto.size() + texto.size() / 16);
    const QChar* p = texto.constData();
    const QChar* const fim = p + texto.size();
    while (p < fim) {
        if (*p == u'\r' || *p == u'\n') {
            resultado.append(u"\r\n");
            if (*p == u'\r' && p + 1 < fim && p[1] == u'\n') ++p;
        } else {
            resultado.append(*p);
        }
        ++p;
    }
    return resultado;
}

}  // namespace

QString CaminhoPacote(const QString& pastaMestre, int64_t numero) {
    QString digitos = QString::number(numero < 0 ? -numero : numero).rightJustified(4, u'0');
    if (numero < 0) digitos.prepend(u'-');
    return pastaMestre + QStringLiteral("\\tmp\\orvEMP") + digitos + QStringLiteral(".sql");
}

QString LerPacote(Platform& plataforma, const QString& caminho) {
    QByteArray bytes;
    if (!plataforma.ReadFile(caminho, &bytes)) {
        throw ErroOrvalis(plataforma.SystemErrorMessage(plataforma.LastError()));
    }
    return QuebrasCrLf(Decodificar(bytes));
}

}  // namespace orvalis
