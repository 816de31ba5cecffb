#include "database/DividirTexto.h"

#include <QStringView>

namespace orvalis {

namespace {

constexpr char16_t kQuebraEscrita[] = u"#$D#$A";
constexpr qsizetype kTamanhoQuebraEscrita = 6;

bool QuebraEscritaEm(const QChar* p, const QChar* fim) {
    if (fim - p < kTamanhoQuebraEscrita) return false;
    for (qsizetype i = 0; i < kTamanhoQuebraEscrita; ++i) {
        if (p[i].unicode() != kQuebraEscrita[i]) return false;
    }
    return true;
}

bool CrLfEm(const QChar* p, const QChar* fim) {
    return fim - p >= 2 && p[0] == u'\r' && p[1] == u'\n';
}

// One piece between ";;" separators, as it goes into the list: its "--" comments cut,
// then its written and real CR LF breaks as blanks. The splitter sees the piece before
// its breaks become blanks, because a comment ends at its line break.
QString Peca(const QChar* inicio, const QChar* fim) {
    enum class Estado { Codigo, Texto, Nome, Bloco, Linha };
    // Never longer than its source: written in place, cut to size at the end.
    QString peca(fim - inicio, Qt::Uninitialized);
    QChar* saida = peca.data();
    Estado estado = Estado::Codigo;
    for (const QChar* p = inicio; p < fim;) {
        if (QuebraEscritaEm(p, fim)) {
            if (estado == Estado::Linha) estado = Estado::Codigo;
            *saida++ = u' ';
            p += kTamanhoQuebraEscrita;
            continue;
        }
        if (CrLfEm(p, fim)) {
            if (estado == Estado::Linha) estado = Estado::Codigo;
            *saida++ = u' ';
            p += 2;
            continue;
        }
        const char16_t c = p->unicode();
        switch (estado) {
            case Estado::Linha:
                if (c == u'\r' || c == u'\n') {
                    estado = Estado::Codigo;
                    *saida++ = *p;
                }
                ++p;
                continue;
            case Estado::Codigo:
                if (c == u'-' && p + 1 < fim && p[1] == u'-') {
                    estado = Estado::Linha;
                    p += 2;
                    continue;
                }
                if (c == u'/' && p + 1 < fim && p[1] == u'*') {
                    estado = Estado::Bloco;
                    *saida++ = p[0];
                    *saida++ = p[1];
                    p += 2;
                    continue;
                }
                if (c == u'\'') estado = Estado::Texto;
                if (c == u'"') estado = Estado::Nome;
                break;
            case Estado::Texto:
                // A doubled quote leaves and re-enters the string: no special case.
                if (c == u'\'') estado = Estado::Codigo;
                break;
            case Estado::Nome:
                if (c == u'"') estado = Estado::Codigo;
                break;
            case Estado::Bloco:
                if (c == u'*' && p + 1 < fim && p[1] == u'/') {
                    estado = Estado::Codigo;
                    *saida++ = p[0];
                    *saida++ = p[1];
                    p += 2;
                    continue;
                }
                break;
        }
        *saida++ = *p;
        ++p;
    }
    peca.truncate(saida - peca.constData());
    return peca;
}

}  // namespace

void DividirTexto(const QString& texto, QStringList& lista) {
    lista.clear();
    // The blanks that replace "#$D#$A" and CR LF never form or break a ";;", so the
    // text can be cut first and each piece rewritten on its own.
    const QChar* const inicio = texto.constData();
    const QChar* const fim = inicio + texto.size();
    const QStringView separador(u";;");
    qsizetype posicao = 0;
    while (posicao < texto.size()) {
        const qsizetype proximo = QStringView(texto).indexOf(separador, posicao);
        if (proximo < 0) {
            lista.append(Peca(inicio + posicao, fim));
            break;
        }
        lista.append(Peca(inicio + posicao, inicio + proximo));
        posicao = proximo + 2;
    }
}

}  // namespace orvalis
