#include "net/ClientePop3.h"

#include "app/Erros.h"
#include "platform/Ansi.h"

#include <Poco/Exception.h>
#include <Poco/Net/POP3ClientSession.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Timespan.h>

namespace orvalis {

namespace {

Poco::Timespan EmTimespan(std::chrono::milliseconds duracao) {
    return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(duracao.count()) * 1000);
}

}  // namespace

ClientePop3::ClientePop3() = default;

ClientePop3::~ClientePop3() {
    Desconectar();
}

void ClientePop3::Conectar() {
    try {
        const Poco::Net::SocketAddress endereco(ToUtf8(host), static_cast<Poco::UInt16>(porta));
        socket_.connect(endereco, EmTimespan(limiteConexao));
        socket_.setReceiveTimeout(EmTimespan(limiteInatividade));
        socket_.setSendTimeout(EmTimespan(limiteInatividade));
        sessao_ = std::make_unique<Poco::Net::POP3ClientSession>(socket_);
        sessao_->setTimeout(EmTimespan(limiteInatividade));
        sessao_->login(ToUtf8(usuario), ToUtf8(senha));
    } catch (const Poco::Exception& erro) {
        Desconectar();
        throw ErroOrvalis(FromUtf8(erro.displayText()));
    } catch (const std::exception& erro) {
        Desconectar();
        throw ErroOrvalis(FromUtf8(erro.what()));
    }
}

void ClientePop3::Desconectar() noexcept {
    if (sessao_) {
        try {
            sessao_->close();
        } catch (...) {
            // A connection that cannot say QUIT is closed all the same.
        }
    }
    try {
        socket_.close();
    } catch (...) {
    }
    // The session would try QUIT again on a connection that is gone.
    try {
        sessao_.reset();
    } catch (...) {
    }
    socket_ = Poco::Net::StreamSocket();
}

}  // namespace orvalis
