#include "net/SiteAtivo.h"

#include "app/UnFuncaoOrvalis.h"
#include "net/Endpoints.h"

namespace orvalis {

QString BuscarSiteAtivo() {
    return BuscarSiteAtivo(Endpoints::Atuais());
}

QString BuscarSiteAtivo(const Endpoints& fornecedor, const ClienteHttp::Limites& limites) {
    if (TestarUrl(fornecedor.urlArquivos, limites)) return fornecedor.urlArquivos;
    if (TestarUrl(fornecedor.urlSite, limites)) return fornecedor.urlSite;
    return fornecedor.urlSiteHttp;
}

bool TestarUrl(const QString& url) {
    return TestarUrl(url, ClienteHttp::Limites{});
}

bool TestarUrl(const QString& url, const ClienteHttp::Limites& limites) {
    ClienteHttp cliente(limites);
    return cliente.Obter(url, [](const char*, size_t) { return true; });
}

}  // namespace orvalis
