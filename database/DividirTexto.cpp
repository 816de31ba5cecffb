#include "database/DividirTexto.h"

#include <QStringView>

#include <algorithm>

namespace orvalis {

namespace {

enum Estado { kCodigo, kTexto, kNome, kBloco, kLinha, kEstados };

// Per state, the characters that may end a run of ordinary text: the first character of
// a written or real line break, and what opens or closes a string, a name or a comment.
struct Especiais {
    bool em[kEstados][128] = {};
    constexpr Especiais() {
        for (auto& estado : em) estado[u'#'] = estado[u'\r'] = true;
        em[kCodigo][u'-'] = em[kCodigo][u'/'] = em[kCodigo][u'\''] = em[kCodigo][u'"'] = true;
        em[kTexto][u'\''] = true;
        em[kNome][u'"'] = true;
        em[kBloco][u'*'] = true;
        em[kLinha][u'\n'] = true;
    }
};
constexpr Especiais kEspeciais;

bool Especial(Estado estado, char16_t c) {
    return c < 128 && kEspeciais.em[estado][c];
}

bool QuebraEscritaEm(const char16_t* p, const char16_t* fim) {
    return fim - p >= 6 && p[0] == u'#' && p[1] == u'$' && p[2] == u'D' && p[3] == u'#' &&
           p[4] == u'$' && p[5] == u'A';
}

// One piece between ";;" separators, as it goes into the list: its "--" comments cut,
// then its written and real CR LF breaks as blanks. The piece is seen before its breaks
// become blanks, because a comment ends at its line break. Runs of ordinary characters
// are copied (or, inside a comment, skipped) whole.
QString Peca(const QChar* inicioPeca, const QChar* fimPeca) {
    // Never longer than its source: written in place, cut to size at the end.
    QString peca(fimPeca - inicioPeca, Qt::Uninitialized);
    char16_t* const inicioSaida = reinterpret_cast<char16_t*>(peca.data());
    char16_t* saida = inicioSaida;
    const char16_t* p = reinterpret_cast<const char16_t*>(inicioPeca);
    const char16_t* const fim = reinterpret_cast<const char16_t*>(fimPeca);
    Estado estado = kCodigo;
    while (p < fim) {
        const char16_t* const corrida = p;
        while (p < fim && !Especial(estado, *p)) ++p;
        if (estado != kLinha) saida = std::copy(corrida, p, saida);
        if (p == fim) break;

        const char16_t c = *p;
        const bool haProximo = p + 1 < fim;
        if (c == u'#' && QuebraEscritaEm(p, fim)) {
            if (estado == kLinha) estado = kCodigo;
            *saida++ = u' ';
            p += 6;
        } else if (c == u'\r' && haProximo && p[1] == u'\n') {
            if (estado == kLinha) estado = kCodigo;
            *saida++ = u' ';
            p += 2;
        } else if (estado == kLinha) {
            // A lone CR or LF ends the comment and stays; a lone "#" is comment text.
            if (c != u'#') {
                estado = kCodigo;
                *saida++ = c;
            }
            ++p;
        } else if (c == u'-' && haProximo && p[1] == u'-') {
            estado = kLinha;
            p += 2;
        } else if ((c == u'/' && haProximo && p[1] == u'*' && estado == kCodigo) ||
                   (c == u'*' && haProximo && p[1] == u'/' && estado == kBloco)) {
            estado = estado == kCodigo ? kBloco : kCodigo;
            *saida++ = *p++;
            *saida++ = *p++;
        } else {
            // A doubled quote leaves and re-enters its string: no special case.
            if (c == u'\'') estado = estado == kCodigo ? kTexto : kCodigo;
            if (c == u'"') estado = estado == kCodigo ? kNome : kCodigo;
            *saida++ = *p++;
        }
    }
    peca.truncate(saida - inicioSaida);
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
