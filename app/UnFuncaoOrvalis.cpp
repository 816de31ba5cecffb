#include "app/UnFuncaoOrvalis.h"

#include "app/ArquivoIni.h"
#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <algorithm>

namespace orvalis {

namespace {

const QString kTituloAviso = QStringLiteral("Aviso do Sistema");

// The path up to and including its last "\".
QString AteUltimaBarra(const QString& caminho) {
    return caminho.left(caminho.lastIndexOf(QLatin1Char('\\')) + 1);
}

qsizetype UltimoDelimitador(const QString& caminho) {
    return std::max(caminho.lastIndexOf(QLatin1Char('\\')), caminho.lastIndexOf(QLatin1Char(':')));
}

}  // namespace

QString ExtrairPastaArquivo(const QString& caminho) {
    qsizetype fim = UltimoDelimitador(caminho) + 1;  // characters kept
    // A "\" with nothing before it goes too: the folder part of "\X.FDB" is empty, so
    // that folder part + "\" + name names the root of the current drive again.
    if (fim > 0 && caminho[fim - 1] == QLatin1Char('\\') &&
        (fim == 1 ||
         (caminho[fim - 2] != QLatin1Char('\\') && caminho[fim - 2] != QLatin1Char(':')))) {
        --fim;
    }
    return caminho.left(fim);
}

QString ExtrairCaminhoArquivo(const QString& caminho) {
    return caminho.left(UltimoDelimitador(caminho) + 1);
}

QString PastaAtualizador(Platform& plataforma) {
    return ExtrairPastaArquivo(plataforma.ExecutablePath());
}

QString BuscarPastaDados(Platform& plataforma) {
    const QString pastaAtualizador = PastaAtualizador(plataforma);
    const QString nomeIni =
        plataforma.FileExists(pastaAtualizador + QStringLiteral("\\orvalisempresa4.exe"))
            ? QStringLiteral("orvalisempresa4.ini")
            : QStringLiteral("orvalisempresa.ini");
    const QString caminhoIni = pastaAtualizador + QLatin1Char('\\') + nomeIni;

    QString pastaDados;
    if (plataforma.FileExists(caminhoIni)) {
        const QString arquivoBanco =
            ArquivoIni(plataforma, caminhoIni)
                .LerTexto(QStringLiteral("IniServidor"), QStringLiteral("nomearquivo"), QString());
        if (!plataforma.FileExists(arquivoBanco)) {
            plataforma.MessageBox(QStringLiteral("Não foi encontrado o arquivo de inicialização "
                                                 "dentro da pasta orvalis Empresa"),
                                  kTituloAviso, MessageIcon::Error);
            plataforma.RequestTerminate();
        }
        pastaDados = AteUltimaBarra(arquivoBanco);
    } else {
        pastaDados = AteUltimaBarra(pastaAtualizador) + QStringLiteral("Dados\\");
        if (!plataforma.DirectoryExists(pastaDados)) {
            plataforma.MessageBox(QStringLiteral("Não foi encontrado a pasta Dados no servidor"),
                                  kTituloAviso, MessageIcon::Error);
            plataforma.RequestTerminate();
        }
    }
    return pastaDados;
}

void GravarConectado(Platform& plataforma, const QString& texto) {
    bool gravou = plataforma.DirectoryExists(BuscarPastaDados(plataforma));
    if (gravou) {
        // Resolved again, as the marker's own path; its messages show again if any.
        const QString arquivo = BuscarPastaDados(plataforma) + QStringLiteral("Conectado.txt");
        gravou = plataforma.WriteFile(arquivo, ToAnsi(texto + QStringLiteral("\r\n")));
    }
    if (!gravou) {
        plataforma.MessageBox(QStringLiteral("Não foi possível acessar a pasta Dados no Servidor."),
                              kTituloAviso, MessageIcon::Error);
    }
}

}  // namespace orvalis
