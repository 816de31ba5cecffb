#pragma once

#include "net/RecusaCertificado.h"
#include "net/VelocidadeMinima.h"

#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace orvalis {

// One GET with the vendor's request profile, over its own connection (IPv4), which
// ends with the call: exactly one connection and at most one TLS handshake per call,
// never a second attempt. Nothing is kept between calls: each call has its own client
// and its own TLS settings.
//
// On the wire: "GET <path and query> HTTP/1.1", then exactly the headers
// Content-Encoding: utf-8, Content-Type: application/json, Host (":port" only when the
// port is not the scheme's default), Accept: text/javascript and User-Agent, in this
// order, and the blank line. Redirects are not followed. An https URL (port 443 unless
// given) goes over TLS 1.2 or later with the host name sent (SNI), and the server's
// certificate and host name are verified against OpenSSL's default trust store
// (SSL_CERT_FILE, SSL_CERT_DIR); any other URL (port 80 unless given) goes in plain
// text.
class ClienteHttp {
  public:
    struct Limites {
        // The TCP connection.
        std::chrono::milliseconds conexao{30000};
        // The longest wait for the next byte, in the TLS handshake as in the response
        // (or for room to send one).
        std::chrono::milliseconds inatividade{60000};
        // The whole call, from the connection on, fails like a broken connection when its
        // traffic stays below this for a whole window.
        VelocidadeMinima velocidade;
        // The resolution of the host name.
        std::chrono::milliseconds resolucao{30000};
    };

    // Receives one piece of a 2xx body, in order; returns false to stop the transfer.
    // It must not throw.
    using Receptor = std::function<bool(const char* dados, size_t tamanho)>;

    // When set, called once per 2xx body before its first piece with the size the
    // response announced (-1 for a chunked body). It must not throw.
    std::function<void(int64_t tamanho)> aoConhecerTamanho;

    // The limits in force for this process: those of Limites{} unless replaced. The
    // public BuscarSiteAtivo, TestarUrl and BaixarArquivoHttp, and so phase 2, use them.
    static const Limites& LimitesEmVigor();
    // Replaces them from here on (a test shortening the whole program's transfers).
    static void SubstituirLimites(const Limites& novos);

    // A client with the limits in force, or with the given ones.
    ClienteHttp();
    explicit ClienteHttp(Limites limites);

    // GETs `url` and hands a 2xx body, with any chunked transfer coding undone, to
    // `corpo`. True only when the status was 2xx and the whole body arrived (all of its
    // Content-Length, or the last chunk) and `corpo` took every piece. Everything else
    // is false and never raised: a status outside 2xx (its body is not read), a 2xx
    // body that only the end of the connection would end (neither Content-Length nor
    // chunked: it cannot be told from a cut one, and none of it is handed over), a URL
    // that cannot be parsed, a host that cannot be resolved within its limit, a refused
    // or timed-out connection, a transfer below the minimum speed, a certificate or host
    // name that cannot be verified, a broken or malformed response, `corpo` returning
    // false. Erro() then says why, and Recusa() tells a refused certificate apart.
    bool Obter(const QString& url, const Receptor& corpo);

    // The status of the last response; 0 when none arrived.
    int Status() const { return status_; }
    // Why the last Obter returned false; empty after a success.
    const QString& Erro() const { return erro_; }
    // The server certificate that the last Obter refused; empty when the call did not
    // fail for that reason.
    const std::optional<RecusaCertificado>& Recusa() const { return recusa_; }

  private:
    Limites limites_;
    int status_ = 0;
    QString erro_;
    std::optional<RecusaCertificado> recusa_;
};

}  // namespace orvalis
