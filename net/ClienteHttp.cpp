#include "net/ClienteHttp.h"

#include "net/ConfiguracaoTls.h"
#include "net/ResolucaoNomes.h"
#include "net/SocketVigiado.h"
#include "platform/Ansi.h"

#include <Poco/AutoPtr.h>
#include <Poco/Exception.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/NumberParser.h>
#include <Poco/URI.h>

#include <openssl/ssl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvalis {

namespace {

constexpr size_t kTamanhoBloco = 64 * 1024;
constexpr size_t kMaiorLinhaChunk = 4096;
// The engine's identification, fixed here so that the request does not change with
// the library's version.
constexpr const char* kAgente = "orvalisAtualizador/2.8 (Poco)";

// The session gets its connection made (the name resolved within its limit, the TLS
// handshake done) and never makes another: Poco's own would resolve the name without a
// limit, and, with keep-alive, reconnect and send the request again when the first
// write fails, so that a refused certificate would cost two handshakes.
class SessaoUnica final : public Poco::Net::HTTPClientSession {
  public:
    explicit SessaoUnica(const Poco::Net::StreamSocket& conexao) : HTTPClientSession(conexao) {}

    // Up to `tamanho` bytes of the body; 0 at the end of the connection. Throws Poco's
    // errors.
    int Ler(char* destino, std::streamsize tamanho) { return read(destino, tamanho); }

  protected:
    int write(const char* dados, std::streamsize tamanho) override {
        return Poco::Net::HTTPSession::write(dados, tamanho);
    }
    void connect(const Poco::Net::SocketAddress&) override {
        throw Poco::Net::NetException("Uma chamada faz uma única conexão");
    }
};

enum class Corpo { Inteiro, Cortado, Recusado };

// The body is decoded here and not by Poco's response stream: that stream ends quietly
// when a plain connection closes before the Content-Length or the last chunk, which
// would pass a cut transfer off as a whole one.
class Leitor {
  public:
    Leitor(SessaoUnica& fonte, const ClienteHttp::Receptor& receptor)
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

    SessaoUnica& fonte_;
    const ClienteHttp::Receptor& receptor_;
    std::vector<char> bloco_;
    char adiante_[512];
    size_t adianteInicio_ = 0;
    size_t adianteFim_ = 0;
};

ClienteHttp::Limites& EmVigor() {
    static ClienteHttp::Limites limites;
    return limites;
}

}  // namespace

const ClienteHttp::Limites& ClienteHttp::LimitesEmVigor() {
    return EmVigor();
}

void ClienteHttp::SubstituirLimites(const Limites& novos) {
    EmVigor() = novos;
}

ClienteHttp::ClienteHttp() : limites_(LimitesEmVigor()) {}

ClienteHttp::ClienteHttp(Limites limites) : limites_(limites) {}

bool ClienteHttp::Obter(const QString& url, const Receptor& corpo) {
    status_ = 0;
    erro_.clear();
    recusa_.reset();
    Poco::AutoPtr<SocketVigiado> conexao;
    try {
        const Poco::URI uri(url.toStdString());
        const bool tls = uri.getScheme() == "https";
        const Poco::UInt16 portaPadrao = tls ? 443 : 80;
        const Poco::UInt16 porta =
            uri.getSpecifiedPort() != 0 ? uri.getSpecifiedPort() : portaPadrao;
        const std::string& host = uri.getHost();
        if (host.empty()) throw Poco::SyntaxException("URL sem host", url.toStdString());

        // The vendor's hosts are reached over IPv4 only.
        const Poco::Net::SocketAddress endereco = ResolucaoNomes::Resolver(
            host, porta, limites_.resolucao, ResolucaoNomes::Familia::SoIpv4);
        conexao = new SocketVigiado({limites_.inatividade, limites_.velocidade, 0});
        // The socket owns a reference of its own; this one outlives it, for Recusa().
        conexao->duplicate();
        const Poco::Net::StreamSocket socket(conexao.get());
        conexao->Conectar(endereco, limites_.conexao);
        if (tls) {
            std::shared_ptr<SSL_CTX> contexto = ConfiguracaoTls().NovoContexto();
            // Without read-ahead OpenSSL reads every record in two system calls, its
            // header and then its body; with it, whatever has arrived, up to the buffer,
            // in one.
            SSL_CTX_set_read_ahead(contexto.get(), 1);
            SSL_CTX_set_default_read_buffer_len(contexto.get(), kTamanhoBloco);
            // The handshake waits like every other read, under the transfer's limits
            // alone, not the connection's.
            conexao->IniciarTls(std::move(contexto), host, std::chrono::milliseconds(0));
        }
        SessaoUnica sessao(socket);
        // Without keep-alive Poco adds "Connection: Close"; the connection ends with
        // the session anyway.
        sessao.setKeepAlive(true);

        const std::string pedidoUri = uri.getPathAndQuery();
        const std::string caminho =
            !pedidoUri.empty() && pedidoUri.front() == '/' ? pedidoUri : "/" + pedidoUri;
        // Poco's request would default to HTTP/1.0, and its setHost(host, port) drops
        // both 80 and 443 whatever the scheme.
        Poco::Net::HTTPRequest pedido(Poco::Net::HTTPRequest::HTTP_GET, caminho,
                                      Poco::Net::HTTPMessage::HTTP_1_1);
        pedido.set("Content-Encoding", "utf-8");
        pedido.setContentType("application/json");
        const std::string nomeHost =
            host.find(':') != std::string::npos ? std::string("[").append(host).append("]") : host;
        pedido.setHost(porta != portaPadrao ? nomeHost + ":" + std::to_string(porta) : nomeHost);
        pedido.set("Accept", "text/javascript");
        pedido.set("User-Agent", kAgente);
        sessao.sendRequest(pedido);

        Poco::Net::HTTPResponse resposta;
        sessao.receiveResponse(resposta);
        status_ = static_cast<int>(resposta.getStatus());
        if (status_ < 200 || status_ > 299) {
            // The answer is no whatever the body says: it is not read.
            erro_ = QStringLiteral("O servidor respondeu %1 %2.")
                        .arg(status_)
                        .arg(FromUtf8(resposta.getReason()));
            return false;
        }

        Leitor leitor(sessao, corpo);
        Corpo fim = Corpo::Inteiro;
        if (status_ == 204 || status_ == 304) {
            fim = Corpo::Inteiro;
        } else if (resposta.getChunkedTransferEncoding()) {
            if (aoConhecerTamanho) aoConhecerTamanho(-1);
            fim = leitor.Chunked();
        } else if (resposta.hasContentLength()) {
            if (aoConhecerTamanho) aoConhecerTamanho(resposta.getContentLength64());
            fim = leitor.Fixo(resposta.getContentLength64());
        } else {
            erro_ = QStringLiteral(
                "O servidor não informou o tamanho do conteúdo: sem ele, um conteúdo "
                "cortado não se distingue de um inteiro.");
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
        erro_ = FromUtf8(erro.displayText());
    } catch (const std::exception& erro) {
        erro_ = FromUtf8(erro.what());
    }
    if (!conexao.isNull()) recusa_ = conexao->Recusa();
    return false;
}

}  // namespace orvalis
