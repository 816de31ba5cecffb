#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "files/ListarExecutaveis.h"
#include "platform/Platform.h"

namespace orvalis {

void TfrmPrincipal::Fase3BackupAplicativos() {
    AdicionarLog(QStringLiteral(" FASE 3 de 7 - BACKUP LOCAL DOS APLICATIVOS:"));
    plataforma_.ProcessMessages();
    const QString pastaBackup = PastaBackupExecucao();
    for (const QString& nome : ListarExecutaveis(plataforma_, itDiretorioPastaMestre)) {
        const QString instalado = itDiretorioPastaMestre + QLatin1Char('\\') + nome;
        if (AplicativoAtualizavel(instalado)) {
            AdicionarLog(QStringLiteral("   - Fazendo backup de ") + nome);
            plataforma_.ProcessMessages();
            if (!plataforma_.CopyFile(instalado, pastaBackup + QLatin1Char('\\') + nome)) {
                // The one line of the log stamped with the date alone.
                AdicionarLogComData(QStringLiteral("    - Erro: Falha no backup do ") + nome +
                                    QLatin1Char('.'));
                Abortar();
            }
            AdicionarLog(QStringLiteral("   - OK"));
            plataforma_.ProcessMessages();
        }
        plataforma_.Sleep(1000);
    }
    AdicionarLog(QStringLiteral("   - Fase 3 concluída com sucesso"));
}

}  // namespace orvalis
