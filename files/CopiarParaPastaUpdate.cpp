#include "app/ArquivoIni.h"
#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "files/ListarExecutaveis.h"
#include "platform/Platform.h"

#include <exception>

namespace orvalis {

void TfrmPrincipal::CopiarParaPastaUpdate() {
    const QString configuracao =
        itParametroCaminhoExecutavel + QStringLiteral("\\Exec-orvalisEmpresa.ini");
    if (!plataforma_.FileExists(configuracao)) return;
    try {
        const QString pastaAntiga =
            ArquivoIni(plataforma_, configuracao)
                .LerTexto(QStringLiteral("configuracao"), QStringLiteral("pastamestre"), QString());
        // Letter case and a final "\" count: such a value names another folder, whose
        // copies onto the same files fail and are ignored.
        if (pastaAntiga != itDiretorioPastaMestre) {
            AdicionarLog(QStringLiteral(
                "   - Copiando os aplicativos já atualizados para a pasta Update antiga."));
            // An empty value names no folder; taken as a path it would be the root of
            // the current drive.
            if (!pastaAntiga.isEmpty()) {
                for (const QString& nome : ListarExecutaveis(plataforma_, pastaAntiga)) {
                    plataforma_.CopyFile(itDiretorioPastaMestre + QLatin1Char('\\') + nome,
                                         pastaAntiga + QLatin1Char('\\') + nome);
                }
            }
            AdicionarLog(QStringLiteral("   - OK"));
        }
    } catch (const std::exception&) {
        AdicionarLog(
            QStringLiteral("   - Erro - Não foi possível copiar os aplicativos "
                           "atualizados para a pasta Update antiga"));
        Abortar();
    }
    plataforma_.DeleteFile(configuracao);
}

}  // namespace orvalis
