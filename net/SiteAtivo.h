#pragma once

#include "net/ClienteHttp.h"

#include <QString>

namespace orvalis {

struct Endpoints;

// BuscarSiteAtivo over the given endpoints and limits: the files host's https base URL
// when a GET of it succeeds, else the main site's https base URL when a GET of it
// succeeds, else, without a probe, the main site's http base URL. Probes every time;
// nothing is cached. The public BuscarSiteAtivo() is this over Endpoints::Atuais().
QString BuscarSiteAtivo(const Endpoints& fornecedor, const ClienteHttp::Limites& limites = {});

// TestarUrl with the given limits: true when a GET of `url` ends with a 2xx status and
// its whole body (read and dropped); every failure is false, nothing is raised.
bool TestarUrl(const QString& url, const ClienteHttp::Limites& limites);

}  // namespace orvalis
