#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "files/ListarExecutaveis.h"
#include "platform/Platform.h"

namespace orvalis {

void TfrmPrincipal::Fase6AtualizarAplicativos() {
    itRestaurarBackupPrograma = false;
    AdicionarLog(QStringLiteral(" FASE 6 de 7 - ATUALIZAÇÃO DOS APLICATIVOS:"));
    plataforma_.ProcessMessages();
    const QString pastaNovos = itDiretorioPastaMestre + QStringLiteral("\\tmp");
    // Only what is installed is replaced: an executable found only among the new ones
    // stays out.
    for (const QString& nome : ListarExecutaveis(plataforma_, itDiretorioPastaMestre)) {
        const QString instalado = itDiretorioPastaMestre + QLatin1Char('\\') + nome;
        if (AplicativoAtualizavel(instalado)) {
            AdicionarLog(QStringLiteral("    -  Fazendo atualização do ") + nome);
            if (!plataforma_.CopyFile(pastaNovos + QLatin1Char('\\') + nome, instalado)) {
                AdicionarLog(QStringLiteral("    - Erro: Falha na atualização do ") + nome);
                itRestaurarBackupPrograma = true;
                RestaurarAplicativos();
                Abortar();
            }
            AdicionarLog(QStringLiteral("   - OK"));
            plataforma_.ProcessMessages();
        }
        plataforma_.Sleep(1000);
    }
    AdicionarLog(QStringLiteral("    - Fase 6 concluída com sucesso."));
}

void TfrmPrincipal::RestaurarAplicativos() {
    AdicionarLog(QStringLiteral(" - Todos aplicativos originais serão restaurados."));
    plataforma_.ProcessMessages();
    const QString pastaBackup = PastaBackupExecucao();
    // Everything phase 3 saved goes back, also what phase 6 had not reached yet; a
    // failed copy does not stop the others.
    for (const QString& nome : ListarExecutaveis(plataforma_, pastaBackup)) {
        const QString instalado = itDiretorioPastaMestre + QLatin1Char('\\') + nome;
        if (AplicativoAtualizavel(instalado)) {
            AdicionarLog(QStringLiteral("   - Restaurando ") + nome);
            plataforma_.ProcessMessages();
            if (!plataforma_.CopyFile(pastaBackup + QLatin1Char('\\') + nome, instalado)) {
                falhaRestauracaoAplicativos_ = true;
                AdicionarLog(QStringLiteral("  Erro: Falha na restauração do  ") + nome);
            }
        }
        plataforma_.ProcessMessages();
    }
}

}  // namespace orvalis
