#pragma once

#include "net/ClienteHttp.h"
#include "net/RecusaCertificado.h"

#include <QList>
#include <QString>

#include <optional>

namespace orvalis {

struct Endpoints;

// What one round of BuscarSiteAtivo's probes found: the base URL it answers, and every
// probe that failed because the server's certificate was refused, in probe order.
struct SondagemSites {
    QString url;
    QList<RecusaCertificado> recusas;
};

// BuscarSiteAtivo over the given endpoints and limits, with what its probes saw: the
// files host's https base URL when a GET of it succeeds, else the main site's https
// base URL when a GET of it succeeds, else, without a probe, the main site's http base
// URL. Probes every time; nothing is cached.
SondagemSites SondarSites(const Endpoints& fornecedor,
                          const ClienteHttp::Limites& limites = ClienteHttp::LimitesEmVigor());

// BuscarSiteAtivo over the given endpoints and limits: SondarSites' URL. The public
// BuscarSiteAtivo() is this over Endpoints::Atuais().
QString BuscarSiteAtivo(const Endpoints& fornecedor,
                        const ClienteHttp::Limites& limites = ClienteHttp::LimitesEmVigor());

// TestarUrl with the given limits: true when a GET of `url` ends with a 2xx status and
// its whole body (read and dropped; a body over 16 MiB is no answer, nor is one that
// only the end of the connection ends); every failure is false, nothing is raised.
// When the failure was a refused certificate, `recusa` (if given) receives it.
bool TestarUrl(const QString& url, const ClienteHttp::Limites& limites,
               std::optional<RecusaCertificado>* recusa = nullptr);

}  // namespace orvalis
