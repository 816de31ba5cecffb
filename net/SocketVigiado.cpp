#include "net/SocketVigiado.h"

#include "platform/Ansi.h"

#include <Poco/Exception.h>
#include <Poco/Net/IPAddress.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SSLException.h>
#include <Poco/Timespan.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <sys/socket.h>

#include <utility>

namespace orvalis {

namespace {

using std::chrono::milliseconds;

QString TextoDoNome(const X509_NAME* nome) {
    if (nome == nullptr) return {};
    BIO* memoria = BIO_new(BIO_s_mem());
    if (memoria == nullptr) return {};
    // RFC 2253, with the names' UTF-8 kept as it is.
    X509_NAME_print_ex(memoria, nome, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* dados = nullptr;
    const long tamanho = BIO_get_mem_data(memoria, &dados);
    QString texto = QString::fromUtf8(dados, static_cast<qsizetype>(tamanho));
    BIO_free(memoria);
    return texto;
}

bool FimSemAviso(int erroSsl) {
    // A peer that closes without TLS's closing alert: an end of the connection, as a
    // plain connection's close is; whether the content was whole is for the caller.
    if (erroSsl == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) return true;
    return erroSsl == SSL_ERROR_SSL &&
           ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
}

}  // namespace

SocketVigiado::SocketVigiado(const VigiaTransferencia::Limites& limites) : vigia_(limites) {}

SocketVigiado::~SocketVigiado() {
    LiberarTls();
}

void SocketVigiado::Conectar(const Poco::Net::SocketAddress& endereco, milliseconds limite) {
    if (limite.count() > 0) {
        StreamSocketImpl::connect(endereco, Poco::Timespan(limite.count() * 1000));
    } else {
        StreamSocketImpl::connect(endereco);
    }
    vigia_.Iniciar();
}

milliseconds SocketVigiado::Espera() {
    // The handshake's own limit takes the place of the inactivity limit.
    milliseconds espera = vigia_.Espera(!prazoAperto_.has_value());
    if (prazoAperto_) {
        const auto resta =
            std::chrono::ceil<milliseconds>(*prazoAperto_ - std::chrono::steady_clock::now());
        if (resta.count() <= 0) {
            throw Poco::TimeoutException("Tempo esgotado no início da conexão TLS");
        }
        espera = std::min(espera, resta);
    }
    return espera;
}

void SocketVigiado::LimitarEspera(Sentido sentido, milliseconds espera) {
    // The system's limit on one blocking call is changed only when it is too long by
    // more than an eighth, or less than half of what may be waited: a transfer that
    // never waits long costs no call more. A call that ends early is simply repeated.
    milliseconds& atual = sentido == Sentido::Ler ? limiteLeitura_ : limiteEscrita_;
    if (atual.count() != 0 && atual <= espera + espera / 8 && atual >= espera / 2) return;
    const Poco::Timespan limite(espera.count() * 1000);
    if (sentido == Sentido::Ler) {
        setReceiveTimeout(limite);
    } else {
        setSendTimeout(limite);
    }
    atual = espera;
}

int SocketVigiado::LerBruto(void* buffer, int length, int flags) {
    for (;;) {
        if (sockfd() == POCO_INVALID_SOCKET) throw Poco::Net::InvalidSocketException();
        LimitarEspera(Sentido::Ler, Espera());
        const auto inicio = std::chrono::steady_clock::now();
        const ssize_t lidos = ::recv(sockfd(), buffer, static_cast<size_t>(length), flags);
        vigia_.Aguardou(std::chrono::steady_clock::now() - inicio);
        if (lidos >= 0) {
            if ((flags & MSG_PEEK) == 0) vigia_.Movidos(static_cast<size_t>(lidos));
            return static_cast<int>(lidos);
        }
        // A call that ran out of time comes back to Espera(), which says which limit
        // has ended, if one has.
        const int erro = lastError();
        if (erro != POCO_EINTR && erro != POCO_EAGAIN && erro != POCO_EWOULDBLOCK) error(erro);
    }
}

void SocketVigiado::EscreverBruto(const char* buffer, int length, int flags) {
    while (length > 0) {
        if (sockfd() == POCO_INVALID_SOCKET) throw Poco::Net::InvalidSocketException();
        LimitarEspera(Sentido::Escrever, Espera());
        const auto inicio = std::chrono::steady_clock::now();
        const ssize_t enviados =
            ::send(sockfd(), buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
        vigia_.Aguardou(std::chrono::steady_clock::now() - inicio);
        if (enviados >= 0) {
            vigia_.Movidos(static_cast<size_t>(enviados));
            buffer += enviados;
            length -= static_cast<int>(enviados);
            continue;
        }
        const int erro = lastError();
        if (erro != POCO_EINTR && erro != POCO_EAGAIN && erro != POCO_EWOULDBLOCK) error(erro);
    }
}

int SocketVigiado::LerParaTls(char* buffer, int length) noexcept {
    try {
        return LerBruto(buffer, length, 0);
    } catch (...) {
        if (!erroFio_) erroFio_ = std::current_exception();
        return -1;
    }
}

int SocketVigiado::EscreverParaTls(const char* buffer, int length) noexcept {
    try {
        EscreverBruto(buffer, length, 0);
        return length;
    } catch (...) {
        if (!erroFio_) erroFio_ = std::current_exception();
        return -1;
    }
}

void SocketVigiado::IniciarTls(std::shared_ptr<SSL_CTX> contexto, const std::string& host,
                               milliseconds limite) {
    if (ssl_ != nullptr || !initialized()) {
        throw Poco::IllegalStateException("TLS sobre uma conexão que não está pronta");
    }
    contexto_ = std::move(contexto);
    host_ = host;
    recusa_.reset();
    erroFio_ = nullptr;
    ERR_clear_error();
    ssl_ = SSL_new(contexto_.get());
    if (ssl_ == nullptr) FalharTls("SSL_new");
    BIO* fio = BIO_new(MetodoBio());
    if (fio == nullptr) FalharTls("BIO_new");
    BIO_set_data(fio, this);
    SSL_set_bio(ssl_, fio, fio);
    SSL_set_ex_data(ssl_, IndiceSsl(), this);
    SSL_set_verify(ssl_, SSL_VERIFY_PEER, &SocketVigiado::Verificacao);

    Poco::Net::IPAddress numerico;
    const bool porEndereco = Poco::Net::IPAddress::tryParse(host, numerico);
    // The name is checked by OpenSSL inside the handshake, however the handshake ends up
    // completing: a refusal ends it there.
    if (porEndereco) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl_, host.c_str());
        SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (SSL_set1_host(ssl_, host.c_str()) != 1) FalharTls("nome do servidor");
    }

    if (limite.count() > 0) prazoAperto_ = std::chrono::steady_clock::now() + limite;
    const int resultado = SSL_connect(ssl_);
    prazoAperto_.reset();
    if (resultado != 1) {
        if (recusa_) {
            throw Poco::Net::CertificateValidationException("Certificado recusado de " +
                                                            ToUtf8(recusa_->Descricao()));
        }
        FalharTls("handshake");
    }

    // And once more from the certificate itself, after the completed handshake.
    X509* certificado = SSL_get0_peer_certificate(ssl_);
    const bool nomeConfere =
        certificado != nullptr &&
        (porEndereco ? X509_check_ip_asc(certificado, host.c_str(), 0) == 1
                     : X509_check_host(certificado, host.data(), host.size(),
                                       X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS, nullptr) == 1);
    const long verificacao = SSL_get_verify_result(ssl_);
    if (verificacao != X509_V_OK || !nomeConfere) {
        AnotarRecusa(
            verificacao != X509_V_OK ? static_cast<int>(verificacao) : X509_V_ERR_HOSTNAME_MISMATCH,
            certificado);
        throw Poco::Net::CertificateValidationException(
            "Certificado recusado de " + ToUtf8(recusa_ ? recusa_->Descricao() : FromUtf8(host)));
    }
}

int SocketVigiado::receiveBytes(void* buffer, int length, int flags) {
    if (length <= 0) return 0;
    int lidos = 0;
    if (ssl_ == nullptr) {
        lidos = LerBruto(buffer, length, flags);
    } else {
        erroFio_ = nullptr;
        ERR_clear_error();
        lidos = SSL_read(ssl_, buffer, length);
        if (lidos <= 0) {
            const int erro = SSL_get_error(ssl_, lidos);
            if (erroFio_) std::rethrow_exception(std::exchange(erroFio_, nullptr));
            if (erro == SSL_ERROR_ZERO_RETURN || FimSemAviso(erro)) return 0;
            FalharTls("leitura");
        }
    }
    if ((flags & MSG_PEEK) == 0 && lidos > 0) vigia_.Recebidos(static_cast<size_t>(lidos));
    return lidos;
}

int SocketVigiado::sendBytes(const void* buffer, int length, int flags) {
    if (length <= 0) return 0;
    vigia_.Enviados();
    const char* dados = static_cast<const char*>(buffer);
    if (ssl_ == nullptr) {
        EscreverBruto(dados, length, flags);
        return length;
    }
    int enviados = 0;
    while (enviados < length) {
        erroFio_ = nullptr;
        ERR_clear_error();
        const int escritos = SSL_write(ssl_, dados + enviados, length - enviados);
        if (escritos <= 0) FalharTls("escrita");
        enviados += escritos;
    }
    return length;
}

void SocketVigiado::close() {
    LiberarTls();
    StreamSocketImpl::close();
}

void SocketVigiado::FalharTls(const char* operacao) {
    if (erroFio_) std::rethrow_exception(std::exchange(erroFio_, nullptr));
    std::string detalhe = "sem detalhes";
    if (const unsigned long codigo = ERR_get_error(); codigo != 0) {
        char texto[256] = {};
        ERR_error_string_n(codigo, texto, sizeof texto);
        detalhe = texto;
    }
    throw Poco::Net::SSLException(std::string("TLS: ") + operacao, detalhe);
}

void SocketVigiado::LiberarTls() noexcept {
    // No closing alert: nothing more is to be said on a connection being closed, and
    // sending one could wait on a server that no longer reads.
    if (ssl_ != nullptr) SSL_free(ssl_);
    ssl_ = nullptr;
}

void SocketVigiado::AnotarRecusa(int codigo, X509* certificado) noexcept {
    if (recusa_) return;
    try {
        RecusaCertificado recusa;
        recusa.host = FromUtf8(host_);
        recusa.codigo = codigo;
        if (certificado != nullptr) {
            recusa.titular = TextoDoNome(X509_get_subject_name(certificado));
            recusa.emissor = TextoDoNome(X509_get_issuer_name(certificado));
        }
        recusa_ = std::move(recusa);
    } catch (...) {
        // Without memory for the description the handshake is refused all the same.
    }
}

int SocketVigiado::Verificacao(int aceito, X509_STORE_CTX* loja) {
    if (aceito == 1) return 1;
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(loja, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* socket =
        ssl != nullptr ? static_cast<SocketVigiado*>(SSL_get_ex_data(ssl, IndiceSsl())) : nullptr;
    // The certificate described is the server's own, whichever one of the chain failed.
    if (socket != nullptr) {
        socket->AnotarRecusa(X509_STORE_CTX_get_error(loja), X509_STORE_CTX_get0_cert(loja));
    }
    return 0;
}

int SocketVigiado::IndiceSsl() {
    static const int indice = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return indice;
}

BIO_METHOD* SocketVigiado::MetodoBio() {
    static BIO_METHOD* const metodo = [] {
        BIO_METHOD* novo =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "orvalis socket vigiado");
        if (novo == nullptr) return novo;
        BIO_meth_set_write(novo, &SocketVigiado::BioEscrever);
        BIO_meth_set_read(novo, &SocketVigiado::BioLer);
        BIO_meth_set_ctrl(novo, &SocketVigiado::BioControle);
        BIO_meth_set_create(novo, [](BIO* fio) {
            BIO_set_init(fio, 1);
            return 1;
        });
        return novo;
    }();
    return metodo;
}

int SocketVigiado::BioLer(BIO* fio, char* buffer, int length) {
    BIO_clear_retry_flags(fio);
    return static_cast<SocketVigiado*>(BIO_get_data(fio))->LerParaTls(buffer, length);
}

int SocketVigiado::BioEscrever(BIO* fio, const char* buffer, int length) {
    BIO_clear_retry_flags(fio);
    return static_cast<SocketVigiado*>(BIO_get_data(fio))->EscreverParaTls(buffer, length);
}

long SocketVigiado::BioControle(BIO*, int comando, long, void*) {
    // Writes go straight to the socket: there is nothing to flush.
    return comando == BIO_CTRL_FLUSH ? 1 : 0;
}

}  // namespace orvalis
