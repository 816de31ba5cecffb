#pragma once

#include <QString>
#include <QStringList>

namespace orvalis {
class TfrmPrincipal;
}

namespace orvalis::teste {

class InstalacaoTemporaria;

// A server installation at release 2.7: each of `aplicativos` at 2.7 in the master
// folder (as FornecedorLocal::ConteudoExecutavel makes it) and the complete database at
// counter 120 as Dados\Rivelobase.fdb.
void PrepararInstalacaoServidor(InstalacaoTemporaria& instalacao,
                                const QStringList& aplicativos = {
                                    QStringLiteral("orvalisEmpresa.exe")});

// A server at release 2.7 as the ERP starts its update: PrepararInstalacaoServidor
// with orvalisEmpresa.exe alone, the window's fields as the launch leaves them (site
// version 2.8, user 1, the run stamped with the installation's clock) and the run's
// backup folder made.
void PrepararAtualizacaoServidor(InstalacaoTemporaria& instalacao, TfrmPrincipal& janela);

// Whether a copy from `origem` to `destino` is phase 6 installing the new
// orvalisEmpresa.exe: from tmp into the master folder.
bool InstalaONovoEmpresa(const QString& origem, const QString& destino);

}  // namespace orvalis::teste
