#pragma once

namespace orvalis {
class TfrmPrincipal;
}

namespace orvalis::teste {

class InstalacaoTemporaria;

// A server at release 2.7 as the ERP starts its update: orvalisEmpresa.exe 2.7 in the
// master folder, the database at counter 120 as Dados\Rivelobase.fdb, the window's
// fields as the launch leaves them (site version 2.8, user 1, the run stamped with the
// installation's clock) and the run's backup folder made.
void PrepararAtualizacaoServidor(InstalacaoTemporaria& instalacao, TfrmPrincipal& janela);

}  // namespace orvalis::teste
