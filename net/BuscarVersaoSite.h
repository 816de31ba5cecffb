#pragma once

#include "net/ClienteHttp.h"

#include <QString>
#include <QStringList>

namespace orvalis {

class ClienteFtp;
struct Endpoints;

// Release discovery through the given FTP client, list of names and endpoints; the
// window's BuscarVersaoSite is this over its IdFTP1, its ListBox1 and
// Endpoints::Atuais(). `limites` bound the site probes that choose the account name.
//
// `versao` ends as "SEM" when connecting, logging in or changing into
// Atualizacao/orvalis Empresa failed (the client is then disconnected); otherwise as
// the last line of the listing that contains "ERP" (letter case counts), or the empty
// text when none does. Every line of the listing is appended to `ListBox1`, which is
// never cleared. A failure of the listing itself raises ErroOrvalis with `versao`
// empty and the client still connected.
void BuscarVersaoSite(ClienteFtp& IdFTP1, QStringList& ListBox1, const Endpoints& fornecedor,
                      QString& versao,
                      const ClienteHttp::Limites& limites = ClienteHttp::LimitesEmVigor());

}  // namespace orvalis
