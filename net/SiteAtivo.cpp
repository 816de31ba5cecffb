#include "net/SiteAtivo.h"

#include "app/UnFuncaoOrvalis.h"
#include "net/Endpoints.h"

#include <cstdint>

namespace orvalis {

namespace {

// A site's front page is far smaller; an endless one must not hold the probe.
constexpr int64_t kMaiorCorpoSondagem = 16 * 1024 * 1024;

}  // namespace

QString BuscarSiteAtivo() {
    return BuscarSiteAtivo(Endpoints::Atuais());
}

QString BuscarSiteAtivo(const Endpoints& fornecedor, const ClienteHttp::Limites& limites) {
    return SondarSites(fornecedor, limites).url;
}

SondagemSites SondarSites(const Endpoints& fornecedor, const ClienteHttp::Limites& limites) {
    SondagemSites sondagem;
    for (const QString& url : {fornecedor.urlArquivos, fornecedor.urlSite}) {
        std::optional<RecusaCertificado> recusa;
        if (TestarUrl(url, limites, &recusa)) {
            sondagem.url = url;
            return sondagem;
        }
        if (recusa) sondagem.recusas.append(*recusa);
    }
    sondagem.url = fornecedor.urlSiteHttp;
    return sondagem;
}

bool TestarUrl(const QString& url) {
    return TestarUrl(url, ClienteHttp::LimitesEmVigor());
}

bool TestarUrl(const QString& url, const ClienteHttp::Limites& limites,
               std::optional<RecusaCertificado>* recusa) {
    ClienteHttp cliente(limites);
    int64_t recebidos = 0;
    const bool respondeu = cliente.Obter(url, [&recebidos](const char*, size_t tamanho) {
        recebidos += static_cast<int64_t>(tamanho);
        return recebidos <= kMaiorCorpoSondagem;
    });
    if (recusa != nullptr) *recusa = cliente.Recusa();
    return respondeu;
}

}  // namespace orvalis
