#include "database/CaminhoBanco.h"

#include <algorithm>

namespace orvalis {

QString PastaDoCaminho(const QString& caminho) {
    const qsizetype ultimo =
        std::max(caminho.lastIndexOf(QLatin1Char('\\')), caminho.lastIndexOf(QLatin1Char(':')));
    if (ultimo < 0) return QString();
    qsizetype fim = ultimo + 1;
    if (caminho[ultimo] == QLatin1Char('\\') && ultimo > 0 &&
        caminho[ultimo - 1] != QLatin1Char('\\') && caminho[ultimo - 1] != QLatin1Char(':')) {
        fim = ultimo;
    }
    return caminho.left(fim);
}

QString ArquivoNaPastaDe(const QString& caminho, const QString& nome) {
    return PastaDoCaminho(caminho) + QLatin1Char('\\') + nome;
}

void SepararServidor(const QString& banco, QString* servidor, QString* caminho) {
    const bool unidade = banco.size() >= 2 && banco[1] == QLatin1Char(':') && banco[0].isLetter();
    const qsizetype doisPontos = banco.indexOf(QLatin1Char(':'));
    if (unidade || banco.startsWith(QLatin1Char('\\')) || doisPontos < 0) {
        servidor->clear();
        *caminho = banco;
        return;
    }
    *servidor = banco.left(doisPontos + 1);
    *caminho = banco.mid(doisPontos + 1);
}

}  // namespace orvalis
