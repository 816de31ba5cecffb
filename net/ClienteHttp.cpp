#include "net/ClienteHttp.h"

#include <Poco/Exception.h>
#include <Poco/Net/Context.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/Net/HTTPSClientSession.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/NetSSL.h>
#include <Poco/Net/SecureStreamSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/NumberParser.h>
#include <Poco/Timespan.h>
#include <Poco/URI.h>

#include <openssl/ssl.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

namespace orvalis {

namespace {

constexpr size_t kTamanhoBloco = 64 * 1024;
constexpr size_t kMaiorLinhaChunk = 4096;
// The engine's identification, fixed here so that the request does not change with
// the library's version.
constexpr const char* kAgente = "orvalisAtualizador/2.8 (Poco)";

// The body is decoded here and not by Poco's response stream: that stream ends quietly
// when a plain connection closes before the Content-Length or the last chunk, which
// would pass a cut transfer off as a whole one.
class Fonte {
  public:
    virtual ~Fonte() = default;
    // Up to `tamanho` bytes; 0 at the end of the connection. Throws Poco's errors.
    virtual int Ler(char* destino, std::streamsize tamanho) = 0;
};

// Poco connects to the first address the resolver gives, IPv6 included; the vendor's
// hosts are reached over IPv4 only.
//
// Poco would also run the TLS handshake inside the connection, under the connection's
// limit, and carry on with it after that limit has run out, so that a server silent
// after the TCP handshake held the call for both limits. Deferred to the first write,
// the handshake waits like every other read, under the inactivity limit alone.
template <class Sessao>
class SessaoIpv4 final : public Sessao, public Fonte {
  public:
    using Sessao::Sessao;

    int Ler(char* destino, std::streamsize tamanho) override {
        return this->read(destino, tamanho);
    }

  protected:
    void connect(const Poco::Net::SocketAddress& endereco) override {
        if constexpr (std::is_base_of_v<Poco::Net::HTTPSClientSession, Sessao>) {
            Poco::Net::SecureStreamSocket(this->socket()).setLazyHandshake(true);
        }
        Sessao::connect(Poco::Net::SocketAddress(Poco::Net::SocketAddress::IPv4, this->getHost(),
                                                 endereco.port()));
    }
};

enum class Corpo { Inteiro, Cortado, Recusado };

class Leitor {
  public:
    Leitor(Fonte& fonte, const ClienteHttp::Receptor& receptor)
        : fonte_(fonte), receptor_(receptor), bloco_(kTamanhoBloco) {}

    // Exactly `restante` bytes.
    Corpo Fixo(int64_t restante) {
        while (restante > 0) {
            const auto pedido =
                static_cast<std::streamsize>(std::min<int64_t>(restante, bloco_.size()));
            const int lidos = Preencher(pedido);
            if (lidos <= 0) return Corpo::Cortado;
            if (!receptor_(bloco_.data(), static_cast<size_t>(lidos))) return Corpo::Recusado;
            restante -= lidos;
        }
        return Corpo::Inteiro;
    }

    // Everything up to the end of the connection.
    Corpo AteOFim() {
        for (;;) {
            const int lidos = Preencher(static_cast<std::streamsize>(bloco_.size()));
            if (lidos <= 0) return Corpo::Inteiro;
            if (!receptor_(bloco_.data(), static_cast<size_t>(lidos))) return Corpo::Recusado;
        }
    }

    // Chunked transfer coding, through the last chunk and the trailer's blank line.
    Corpo Chunked() {
        for (;;) {
            std::string linha;
            if (!Linha(linha)) return Corpo::Cortado;
            const auto extensao = linha.find(';');
            if (extensao != std::string::npos) linha.resize(extensao);
            while (!linha.empty() && (linha.back() == ' ' || linha.back() == '\t')) {
                linha.pop_back();
            }
            Poco::UInt64 tamanho = 0;
            if (linha.empty() || !Poco::NumberParser::tryParseHex64(linha, tamanho)) {
                throw Poco::Net::MessageException("Codificação chunked inválida");
            }
            if (tamanho == 0) break;
            const Corpo pedaco = Fixo(static_cast<int64_t>(tamanho));
            if (pedaco != Corpo::Inteiro) return pedaco;
            if (!Linha(linha)) return Corpo::Cortado;
            if (!linha.empty()) throw Poco::Net::MessageException("Fim de chunk inválido");
        }
        for (;;) {
            std::string trailer;
            if (!Linha(trailer)) return Corpo::Cortado;
            if (trailer.empty()) return Corpo::Inteiro;
        }
    }

  private:
    // What a line read left over goes out first.
    int Preencher(std::streamsize tamanho) {
        if (adianteInicio_ < adianteFim_) {
            const auto n = std::min<std::streamsize>(
                tamanho, static_cast<std::streamsize>(adianteFim_ - adianteInicio_));
            std::copy_n(adiante_ + adianteInicio_, n, bloco_.data());
            adianteInicio_ += static_cast<size_t>(n);
            return static_cast<int>(n);
        }
        return fonte_.Ler(bloco_.data(), tamanho);
    }

    // One line without its CR LF; false when the connection ends first. Reads ahead, so
    // that a line does not cost one read per byte.
    bool Linha(std::string& linha) {
        linha.clear();
        for (;;) {
            if (adianteInicio_ == adianteFim_) {
                const int lidos = fonte_.Ler(adiante_, sizeof adiante_);
                if (lidos <= 0) return false;
                adianteInicio_ = 0;
                adianteFim_ = static_cast<size_t>(lidos);
            }
            const char c = adiante_[adianteInicio_++];
            if (c == '\n') {
                if (!linha.empty() && linha.back() == '\r') linha.pop_back();
                return true;
            }
            if (linha.size() >= kMaiorLinhaChunk) {
                throw Poco::Net::MessageException("Linha de chunk longa demais");
            }
            linha.push_back(c);
        }
    }

    Fonte& fonte_;
    const ClienteHttp::Receptor& receptor_;
    std::vector<char> bloco_;
    char adiante_[512];
    size_t adianteInicio_ = 0;
    size_t adianteFim_ = 0;
};

void IniciarTls() {
    static std::once_flag feito;
    std::call_once(feito, [] { Poco::Net::initializeSSL(); });
}

Poco::Net::Context::Ptr NovoContextoTls() {
    Poco::Net::Context::Params parametros;
    parametros.verificationMode = Poco::Net::Context::VERIFY_STRICT;
    parametros.loadDefaultCAs = true;
    parametros.cipherList = "DEFAULT";
    Poco::Net::Context::Ptr contexto =
        new Poco::Net::Context(Poco::Net::Context::TLS_CLIENT_USE, parametros);
    // Without read-ahead OpenSSL reads every record in two system calls, its header
    // and then its body; with it, whatever has arrived, up to the buffer, in one.
    SSL_CTX_set_read_ahead(contexto->sslContext(), 1);
    SSL_CTX_set_default_read_buffer_len(contexto->sslContext(), kTamanhoBloco);
    return contexto;
}

Poco::Timespan EmTimespan(std::chrono::milliseconds duracao) {
    return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(duracao.count()) * 1000);
}

QString DoPoco(const std::string& texto) {
    return QString::fromStdString(texto);
}

}  // namespace

ClienteHttp::ClienteHttp() = default;

ClienteHttp::ClienteHttp(Limites limites) : limites_(limites) {}

bool ClienteHttp::Obter(const QString& url, const Receptor& corpo) {
    status_ = 0;
    erro_.clear();
    try {
        const Poco::URI uri(url.toStdString());
        const bool tls = uri.getScheme() == "https";
        const Poco::UInt16 portaPadrao = tls ? 443 : 80;
        const Poco::UInt16 porta =
            uri.getSpecifiedPort() != 0 ? uri.getSpecifiedPort() : portaPadrao;
        const std::string& host = uri.getHost();
        if (host.empty()) throw Poco::SyntaxException("URL sem host", url.toStdString());

        std::unique_ptr<Poco::Net::HTTPClientSession> sessao;
        Fonte* fonte = nullptr;
        if (tls) {
            IniciarTls();
            auto segura = std::make_unique<SessaoIpv4<Poco::Net::HTTPSClientSession>>(
                host, porta, NovoContextoTls());
            fonte = segura.get();
            sessao = std::move(segura);
        } else {
            auto simples = std::make_unique<SessaoIpv4<Poco::Net::HTTPClientSession>>(host, porta);
            fonte = simples.get();
            sessao = std::move(simples);
        }
        // Without keep-alive Poco adds "Connection: Close"; the connection ends with
        // the session anyway.
        sessao->setKeepAlive(true);
        // Poco's TLS layer waits twice for one byte: once in the read, under the
        // socket's time limit, and once more in its retry, polling with that same
        // limit. Half the limit keeps the whole wait within it.
        const Poco::Timespan conexao = EmTimespan(limites_.conexao);
        const Poco::Timespan inatividade = EmTimespan(limites_.inatividade / (tls ? 2 : 1));
        sessao->setTimeout(conexao, inatividade, inatividade);

        std::string caminho = uri.getPathAndQuery();
        if (caminho.empty() || caminho.front() != '/') caminho.insert(0, "/");
        // Poco's request would default to HTTP/1.0, and its setHost(host, port) drops
        // both 80 and 443 whatever the scheme.
        Poco::Net::HTTPRequest pedido(Poco::Net::HTTPRequest::HTTP_GET, caminho,
                                      Poco::Net::HTTPMessage::HTTP_1_1);
        pedido.set("Content-Encoding", "utf-8");
        pedido.setContentType("application/json");
        std::string valorHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
        if (porta != portaPadrao) valorHost += ":" + std::to_string(porta);
        pedido.setHost(valorHost);
        pedido.set("Accept", "text/javascript");
        pedido.set("User-Agent", kAgente);
        sessao->sendRequest(pedido);

        Poco::Net::HTTPResponse resposta;
        sessao->receiveResponse(resposta);
        status_ = static_cast<int>(resposta.getStatus());
        const bool sucesso = status_ >= 200 && status_ <= 299;

        static const Receptor descartar = [](const char*, size_t) { return true; };
        Leitor leitor(*fonte, sucesso ? corpo : descartar);
        Corpo fim = Corpo::Inteiro;
        if (status_ == 204 || status_ == 304) {
            fim = Corpo::Inteiro;
        } else if (resposta.getChunkedTransferEncoding()) {
            fim = leitor.Chunked();
        } else if (resposta.hasContentLength()) {
            fim = leitor.Fixo(resposta.getContentLength64());
        } else {
            fim = leitor.AteOFim();
        }

        if (!sucesso) {
            erro_ = QStringLiteral("O servidor respondeu %1 %2.")
                        .arg(status_)
                        .arg(DoPoco(resposta.getReason()));
            return false;
        }
        if (fim == Corpo::Cortado) {
            erro_ = QStringLiteral("A conexão terminou antes do fim do conteúdo.");
            return false;
        }
        if (fim == Corpo::Recusado) {
            erro_ = QStringLiteral("O conteúdo recebido não pôde ser guardado.");
            return false;
        }
        return true;
    } catch (const Poco::Exception& erro) {
        erro_ = DoPoco(erro.displayText());
    } catch (const std::exception& erro) {
        erro_ = DoPoco(erro.what());
    }
    return false;
}

}  // namespace orvalis
