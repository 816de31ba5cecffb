#include "app/UnFuncaoOrvalis.h"

#include "platform/Platform.h"

#include <algorithm>
#include <array>

namespace orvalis {

namespace {

const QString kAtualizador = QStringLiteral("orvalisAtualizador.exe");

// Compared letter for letter: rows that look alike ("AtualizaçãoDiaria.exe",
// "AtualizacaoNFe.exe") each match only as written.
const std::array<QString, 19> kAplicativosAtualizaveis = {
    QStringLiteral("orvalispdv.exe"),
    QStringLiteral("orvalisMonitorPublicacao.exe"),
    QStringLiteral("orvalisMonitorMagento.exe"),
    QStringLiteral("orvalisMonitorNFSe.exe"),
    QStringLiteral("orvalisServicosImpressao.exe"),
    QStringLiteral("orvalisMonitorClientar.exe"),
    QStringLiteral("orvalisComissao2.exe"),
    QStringLiteral("AtualizaçãoDiaria.exe"),
    QStringLiteral("orvalisCentral.exe"),
    QStringLiteral("AtualizacaoNFe.exe"),
    QStringLiteral("orvalisArmazenagem.exe"),
    QStringLiteral("orvalisEmpresa.exe"),
    QStringLiteral("orvalisLaboratorial.exe"),
    QStringLiteral("orvalisMonitorDANFE.exe"),
    QStringLiteral("orvalisMonitorMDFe.exe"),
    QStringLiteral("orvalisAssistente.exe"),
    QStringLiteral("orvalisConectado.exe"),
    QStringLiteral("orvalisDownload.exe"),
    QStringLiteral("orvalisMonitorEmail.exe"),
};

// Blanks and control characters, as a Windows trim removes them.
QString SemBrancosNasPontas(const QString& texto) {
    qsizetype inicio = 0;
    qsizetype fim = texto.size();
    while (inicio < fim && texto[inicio].unicode() <= 32) ++inicio;
    while (fim > inicio && texto[fim - 1].unicode() <= 32) --fim;
    return texto.mid(inicio, fim - inicio);
}

}  // namespace

bool AplicativoAtualizavel(const QString& caminho) {
    const qsizetype separador =
        std::max(caminho.lastIndexOf(QLatin1Char('\\')), caminho.lastIndexOf(QLatin1Char(':')));
    const QString nome = caminho.mid(separador + 1);
    if (nome == kAtualizador) return false;
    for (const QString& aplicativo : kAplicativosAtualizaveis) {
        if (nome == aplicativo) return true;
    }
    return false;
}

void ApagarArquivoLock(Platform& plataforma, const QString& aplicativo,
                       const QString& caminhoBanco) {
    const QString nome =
        SemBrancosNasPontas(aplicativo.mid(aplicativo.lastIndexOf(QLatin1Char('\\')) + 1));
    const qsizetype ponto = nome.lastIndexOf(QLatin1Char('.'));
    const QString semExtensao = ponto < 0 ? QString() : nome.left(ponto);
    // No separator: the lock file's name begins with the database file's own name.
    const QString arquivoLock = caminhoBanco + semExtensao + QStringLiteral(".lock");
    if (plataforma.FileExists(arquivoLock)) plataforma.DeleteFile(arquivoLock);
}

}  // namespace orvalis
