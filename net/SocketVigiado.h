#pragma once

#include "net/RecusaCertificado.h"
#include "net/VigiaTransferencia.h"

#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocketImpl.h>

#include <openssl/ssl.h>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace orvalis {

// The TCP connection of every client in this folder (HTTP, FTP control and data, SMTP,
// POP3), optionally carried over TLS, with the limits of a VigiaTransferencia applied
// to every wait on the wire: a Poco socket implementation, so that Poco's sessions and
// streams read and write through it (Poco::Net::StreamSocket takes ownership of it).
//
// Every blocking call is bounded by what is left of the inactivity limit and of the
// low-speed window, every wait counts for both, and every byte that moves (TLS records
// included, handshake included) counts for the window, so that no server can hold a
// read or a write longer than the rules allow by sending little, whether inside a TLS
// record or not. Failures are raised as Poco exceptions (see VigiaTransferencia;
// Poco::Net::CertificateValidationException for a refused certificate,
// Poco::Net::SSLException for any other TLS failure).
class SocketVigiado : public Poco::Net::StreamSocketImpl {
  public:
    explicit SocketVigiado(const VigiaTransferencia::Limites& limites);

    SocketVigiado(const SocketVigiado&) = delete;
    SocketVigiado& operator=(const SocketVigiado&) = delete;

    // The TCP connection to `endereco`, within `limite` (zero: the system's own), to
    // be called once. The first low-speed window starts when the connection is made.
    void Conectar(const Poco::Net::SocketAddress& endereco, std::chrono::milliseconds limite);
    // One TLS handshake over the connection, with the settings of `contexto`: SNI
    // `host`, the certificate's chain verified by OpenSSL and its name checked against
    // `host`, inside the handshake and once more after it. The handshake's waits are
    // bounded by `limite` in all, in place of the inactivity limit (zero: by the
    // inactivity limit, as every other wait), and by the low-speed rule. From then on
    // every read and write goes through TLS. A refused certificate raises
    // Poco::Net::CertificateValidationException, and Recusa() tells why.
    void IniciarTls(std::shared_ptr<SSL_CTX> contexto, const std::string& host,
                    std::chrono::milliseconds limite);
    // The certificate that the handshake refused; empty when it was not refused.
    const std::optional<RecusaCertificado>& Recusa() const { return recusa_; }

    // Poco's socket calls. Sending sends everything (blocking semantics); MSG_PEEK and
    // other flags apply to a plain connection only.
    int sendBytes(const void* buffer, int length, int flags = 0) override;
    int receiveBytes(void* buffer, int length, int flags = 0) override;
    void close() override;

  protected:
    ~SocketVigiado() override;

  private:
    enum class Sentido { Ler, Escrever };

    // How long the next blocking call may wait; raises when a limit has ended.
    std::chrono::milliseconds Espera();
    void LimitarEspera(Sentido sentido, std::chrono::milliseconds espera);
    int LerBruto(void* buffer, int length, int flags);
    void EscreverBruto(const char* buffer, int length, int flags);
    // Called by OpenSSL: never raise, keep the error for the call that started it.
    int LerParaTls(char* buffer, int length) noexcept;
    int EscreverParaTls(const char* buffer, int length) noexcept;
    void AnotarRecusa(int codigo, X509* certificado) noexcept;
    // After an OpenSSL call failed: the kept error of the wire if there is one, else
    // OpenSSL's own.
    [[noreturn]] void FalharTls(const char* operacao);
    void LiberarTls() noexcept;

    static BIO_METHOD* MetodoBio();
    static int IndiceSsl();
    static int BioLer(BIO* bio, char* buffer, int length);
    static int BioEscrever(BIO* bio, const char* buffer, int length);
    static long BioControle(BIO* bio, int comando, long numero, void* ponteiro);
    static int Verificacao(int aceito, X509_STORE_CTX* loja);

    VigiaTransferencia vigia_;
    std::shared_ptr<SSL_CTX> contexto_;
    SSL* ssl_ = nullptr;
    std::string host_;
    std::optional<std::chrono::steady_clock::time_point> prazoAperto_;
    // The limits the socket has for one blocking call; zero: not set yet.
    std::chrono::milliseconds limiteLeitura_{0};
    std::chrono::milliseconds limiteEscrita_{0};
    std::exception_ptr erroFio_;
    std::optional<RecusaCertificado> recusa_;
};

}  // namespace orvalis
