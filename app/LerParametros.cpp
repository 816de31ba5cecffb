#include "app/LinhaComando.h"
#include "app/UnPrincipal.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>

namespace orvalis {

void TfrmPrincipal::LerParametros() {
    const QStringList argumentos = Argumentos(plataforma_);
    // From the last to the first, so that the earliest occurrence of a prefix stays.
    for (qsizetype i = argumentos.size() - 1; i >= 0; --i) {
        const QString& argumento = argumentos[i];
        const QString prefixo = argumento.left(2).toUpper();
        const QString valor = argumento.mid(2);
        if (prefixo == QLatin1String("@F")) {
            itParametrofase = TextoParaInteiro(argumento.mid(2, 1), 0);
        } else if (prefixo == QLatin1String("@E")) {
            itParametroCaminhoExecutavel = valor;
        } else if (prefixo == QLatin1String("@B")) {
            itParametroCaminhoBD = valor;
        } else if (prefixo == QLatin1String("@M")) {
            itDiretorioPastaMestre = valor;
        } else if (prefixo == QLatin1String("@V")) {
            itVersaoErp = valor;
        } else if (prefixo == QLatin1String("@A")) {
            itAplicativo = valor;
        } else if (prefixo == QLatin1String("@I")) {
            itUsuario = TextoParaInteiro(valor, -99);
        }
    }
    // The section sign carries a blank through the command line in paths and versions.
    const QChar secao(0x00A7);
    itParametroCaminhoExecutavel.replace(secao, QLatin1Char(' '));
    itDiretorioPastaMestre.replace(secao, QLatin1Char(' '));
    itParametroCaminhoBD.replace(secao, QLatin1Char(' '));
    itVersaoErp.replace(secao, QLatin1Char(' '));

    itBackup = MontarPastasServidor();
    itdhDataHoraAtualizacao = plataforma_.Now();

    QString versao;
    BuscarVersaoSite(versao);
    itVersaoSite = versao;
    if (itVersaoSite.size() > 3) itVersaoSite.chop(4);

    MemoInform->clear();
    MemoInform->appendPlainText(QStringLiteral("Versão Atual do Sistema: ") + itVersaoErp);
    MemoInform->appendPlainText(QStringLiteral("Nova versão do sistema: ") + itVersaoSite);
    MemoInform->appendPlainText(QStringLiteral("Banco de dados: ") + itParametroCaminhoBD);
    MemoInform->appendPlainText(QStringLiteral("Pasta para backup da versão atual: ") +
                                PastaBackupExecucao());
    MemoInform->appendPlainText(QStringLiteral("Pasta para atualização local: ") +
                                itDiretorioPastaMestre);

    plataforma_.CreateDirectory(itBackup);
    if (!itVersaoErp.isEmpty()) plataforma_.CreateDirectory(PastaBackupExecucao());
}

void TfrmPrincipal::PrepararTela() {
    try {
        DefinirAlturaExterna(325);
        if (Argumentos(plataforma_).isEmpty()) {
            plataforma_.MessageBox(
                QStringLiteral("Esse aplicativo tem que ser executado a partir do orvalisEmpresa"),
                QStringLiteral("Aviso do Sistema"), MessageIcon::None);
            tmSairAplicativo->start();
        }
        if (itParametrofase == 1) {
            PageControl1->setCurrentWidget(TabSheet1);
            const qsizetype ponto = itAplicativo.indexOf(QLatin1Char('.'));
            const QString nome = ponto < 0 ? QString() : itAplicativo.left(ponto);
            lblFase1->setText(
                QStringLiteral("Iniciando os procedimentos para a atualização do aplicativo ") +
                nome + QStringLiteral(". Aguarde..."));
            Repintar(lblFase1);
            DefinirAlturaExterna(100);
            timerAtualizaMaqLocal->start();
        } else {
            PageControl1->setCurrentWidget(TabSheet4);
            lbFase2->setText(
                QStringLiteral("Já está tudo pronto para fazer a atualização do sistema orvalis "
                               "Empresa \rda versão ") +
                itVersaoErp + QStringLiteral(" para a versão ") + itVersaoSite + QLatin1Char('.'));
            DefinirAlturaExterna(354);
            TimerAtualizarSistema->start();
        }
        plataforma_.ProcessMessages();
    } catch (...) {
        // A failure while preparing the page is not reported; the release discovery's
        // connection is not left open.
        DesconectarFtp();
    }
    plataforma_.ProcessMessages();
}

}  // namespace orvalis
