#include "app/ArquivoIni.h"

#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <QStringView>

#include <utility>

namespace orvalis {

namespace {

// The characters the Windows reader drops around names and values (and Ctrl+Z, which
// an editor of old may leave at the end of the file).
bool EBranco(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' ||
           c == QChar(0x1a);
}

QStringView SemBrancos(QStringView texto) {
    qsizetype inicio = 0;
    qsizetype fim = texto.size();
    while (inicio < fim && EBranco(texto[inicio])) ++inicio;
    while (fim > inicio && EBranco(texto[fim - 1])) --fim;
    return texto.mid(inicio, fim - inicio);
}

// A value that starts and ends with the same quotation mark, single or double, loses
// both marks; a lone mark stays.
QString SemAspas(QStringView valor) {
    if (valor.size() >= 2 && (valor.front() == u'"' || valor.front() == u'\'') &&
        valor.back() == valor.front()) {
        return valor.mid(1, valor.size() - 2).toString();
    }
    return valor.toString();
}

}  // namespace

ArquivoIni::ArquivoIni(Platform& plataforma, QString caminho)
    : plataforma_(plataforma), caminho_(std::move(caminho)) {}

QString ArquivoIni::LerTexto(const QString& secao, const QString& chave,
                             const QString& padrao) const {
    QByteArray conteudo;
    if (!plataforma_.ReadFile(caminho_, &conteudo)) return padrao;
    const QString texto = FromAnsi(conteudo);
    bool naSecao = false;
    for (QStringView linha : QStringView(texto).split(u'\n')) {
        linha = SemBrancos(linha);
        const qsizetype fecho = linha.startsWith(u'[') ? linha.lastIndexOf(u']') : -1;
        if (fecho > 0) {
            // Only the first section of a name is read: a later one of the same name
            // adds nothing to it.
            if (naSecao) return padrao;
            naSecao = linha.mid(1, fecho - 1).compare(secao, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!naSecao) continue;
        const qsizetype igual = linha.indexOf(u'=');
        const QStringView nome = SemBrancos(igual < 0 ? linha : linha.left(igual));
        // The first of two equal keys is the one read; a key without "=" has no value
        // and gives the default.
        if (nome.compare(chave, Qt::CaseInsensitive) != 0) continue;
        return igual < 0 ? padrao : SemAspas(SemBrancos(linha.mid(igual + 1)));
    }
    return padrao;
}

}  // namespace orvalis
