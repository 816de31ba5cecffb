#include "app/Andamento.h"
#include "app/UnPrincipal.h"
#include "database/CaminhoBanco.h"
#include "database/ConexaoBanco.h"
#include "platform/Platform.h"

#include <exception>

namespace orvalis {

void TfrmPrincipal::RestaurarBackupBanco() {
    plataforma().ProcessMessages();
    // The database is about to be replaced: nothing of its pending work is committed,
    // and a connection that cannot be closed cleanly is let go all the same.
    IBDatabase1->Descartar();
    bool copiou = false;
    try {
        // Under the live path as the ERP names it, letter case included. The copy writes
        // the live name, so an engine that still holds the held file does not stop it.
        const Andamento andamento(indicadorAndamento(),
                                  QStringLiteral("Restaurando o banco de dados do backup"));
        copiou =
            plataforma().CopyFile(PastaBackupExecucao() + QLatin1Char('\\') + kNomeArquivoRetido,
                                  itParametroCaminhoCompartilhadoBD, andamento.Rotina());
    } catch (const std::exception&) {
        copiou = false;
    }
    if (!copiou) {
        // The partly updated held file is all that is left: it stays.
        AdicionarLog(QStringLiteral(" Não foi possível Restaurar o Backup do Banco de dados."));
        return;
    }
    bancoRestaurado_ = true;
    // From here the held file is only to be discarded: a recovery must not take it for
    // the database, nor the live file for one that is still the backup's copy.
    if (diarioIniciado()) GravarEtapa(DiarioAtualizacao::Etapa::kBancoRestaurado);
    const QString arquivoRetido =
        ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoRetido);
    if (plataforma().FileExists(arquivoRetido)) plataforma().DeleteFile(arquivoRetido);
    AdicionarLog(QStringLiteral("   - OK"));
    plataforma().ProcessMessages();
    plataforma().Sleep(2000);
}

}  // namespace orvalis
