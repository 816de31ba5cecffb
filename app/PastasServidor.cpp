#include "app/UnPrincipal.h"

namespace orvalis {

QString TfrmPrincipal::MontarPastasServidor() {
    // The installation folder is the master folder up to and including its last "\".
    const QString raiz = itDiretorioPastaMestre.left(itDiretorioPastaMestre.lastIndexOf('\\') + 1);
    itParametroCaminhoCompartilhadoBD = raiz + QStringLiteral("Dados\\Rivelobase.fdb");
    return raiz + QStringLiteral("Backup");
}

QString TfrmPrincipal::CarimboExecucao() const {
    return itdhDataHoraAtualizacao.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString TfrmPrincipal::PastaBackupExecucao() const {
    return itBackup + QLatin1Char('\\') + itVersaoErp + QLatin1Char('.') + CarimboExecucao();
}

}  // namespace orvalis
