#include "app/LinhaComando.h"

#include "platform/Platform.h"

#include <limits>

namespace orvalis {

QStringList DividirLinhaComando(const QString& linha) {
    QStringList argumentos;
    const qsizetype tamanho = linha.size();
    qsizetype i = 0;
    auto separador = [](QChar c) { return c.unicode() <= u' '; };
    while (true) {
        // Blanks, and empty quoted pairs, between arguments.
        while (true) {
            while (i < tamanho && separador(linha[i])) ++i;
            if (i + 1 < tamanho && linha[i] == u'"' && linha[i + 1] == u'"') {
                i += 2;
            } else {
                break;
            }
        }
        if (i >= tamanho) break;
        QString argumento;
        while (i < tamanho && !separador(linha[i])) {
            if (linha[i] == u'"') {
                ++i;
                while (i < tamanho && linha[i] != u'"') argumento += linha[i++];
                if (i < tamanho) ++i;
            } else {
                argumento += linha[i++];
            }
        }
        argumentos << argumento;
    }
    return argumentos;
}

int32_t TextoParaInteiro(const QString& texto, int32_t padrao) {
    qsizetype i = 0;
    while (i < texto.size() && texto[i] == u' ') ++i;
    bool negativo = false;
    if (i < texto.size() && (texto[i] == u'-' || texto[i] == u'+')) {
        negativo = texto[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < texto.size() && texto[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < texto.size() && texto[i] == u'0' &&
               (texto[i + 1] == u'x' || texto[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= texto.size()) return padrao;
    int64_t valor = 0;
    for (; i < texto.size(); ++i) {
        const int digito = QChar(texto[i]).isDigit() && texto[i].unicode() < 128
                               ? texto[i].unicode() - u'0'
                           : base == 16 && texto[i].toLower() >= u'a' && texto[i].toLower() <= u'f'
                               ? texto[i].toLower().unicode() - u'a' + 10
                               : -1;
        if (digito < 0 || digito >= base) return padrao;
        valor = valor * base + digito;
        if (valor > int64_t{std::numeric_limits<int32_t>::max()} + 1) return padrao;
    }
    if (negativo) valor = -valor;
    if (valor > std::numeric_limits<int32_t>::max()) return padrao;
    return static_cast<int32_t>(valor);
}

QStringList Argumentos(Platform& plataforma) {
    QStringList argumentos = DividirLinhaComando(plataforma.CommandLine());
    if (!argumentos.isEmpty()) argumentos.removeFirst();
    return argumentos;
}

}  // namespace orvalis
