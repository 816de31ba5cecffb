#include "net/BuscarVersaoSite.h"

#include "app/UnPrincipal.h"
#include "net/ClienteFtp.h"
#include "net/Endpoints.h"
#include "net/SiteAtivo.h"

namespace orvalis {

void TfrmPrincipal::BuscarVersaoSite(QString& versao) {
    orvalis::BuscarVersaoSite(*IdFTP1, ListBox1, Endpoints::Atuais(), versao);
}

void TfrmPrincipal::DesconectarFtp() {
    IdFTP1->Desconectar();
}

void BuscarVersaoSite(ClienteFtp& IdFTP1, QStringList& ListBox1, const Endpoints& fornecedor,
                      QString& versao, const ClienteHttp::Limites& limites) {
    versao.clear();
    try {
        IdFTP1.Desconectar();
        IdFTP1.usuario = fornecedor.ftpUsuarioSite;
        if (BuscarSiteAtivo(fornecedor, limites).contains(QLatin1String("arquivos"))) {
            IdFTP1.usuario = fornecedor.ftpUsuarioArquivos;
        } else {
            IdFTP1.usuario = fornecedor.ftpUsuarioSite;
        }
        IdFTP1.senha = fornecedor.ftpSenha;
        IdFTP1.host = fornecedor.ftpHost;
        IdFTP1.porta = fornecedor.ftpPorta;
        IdFTP1.Conectar();
        IdFTP1.MudarPasta(QStringLiteral("Atualizacao"));
        IdFTP1.MudarPasta(QStringLiteral("orvalis Empresa"));
    } catch (...) {
        // Whatever went wrong, the site cannot be used: that is what "SEM" says.
        IdFTP1.Desconectar();
        versao = QStringLiteral("SEM");
        return;
    }

    ListBox1.append(IdFTP1.ListarNomes());
    for (const QString& linha : ListBox1) {
        if (linha.contains(QLatin1String("ERP"))) versao = linha;
    }

    IdFTP1.Desconectar();
}

}  // namespace orvalis
