#include "app/UnPrincipal.h"
#include "database/CaminhoBanco.h"
#include "database/ConexaoBanco.h"
#include "platform/Platform.h"

#include <exception>

namespace orvalis {

void TfrmPrincipal::RestaurarBackupBanco() {
    plataforma().ProcessMessages();
    bool copiou = false;
    try {
        IBDatabase1->Desconectar();
        // Under the live path as the ERP names it, letter case included.
        copiou =
            plataforma().CopyFile(PastaBackupExecucao() + QLatin1Char('\\') + kNomeArquivoRetido,
                                  itParametroCaminhoCompartilhadoBD);
    } catch (const std::exception&) {
        copiou = false;
    }
    if (!copiou) {
        // The partly updated held file is all that is left: it stays.
        AdicionarLog(QStringLiteral(" Não foi possível Restaurar o Backup do Banco de dados."));
        return;
    }
    const QString arquivoRetido =
        ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoRetido);
    if (plataforma().FileExists(arquivoRetido)) plataforma().DeleteFile(arquivoRetido);
    AdicionarLog(QStringLiteral("   - OK"));
    plataforma().ProcessMessages();
    plataforma().Sleep(2000);
}

}  // namespace orvalis
