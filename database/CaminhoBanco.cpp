#include "database/CaminhoBanco.h"

#include "app/UnFuncaoOrvalis.h"

namespace orvalis {

QString ArquivoNaPastaDe(const QString& caminho, const QString& nome) {
    return ExtrairPastaArquivo(caminho) + QLatin1Char('\\') + nome;
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
