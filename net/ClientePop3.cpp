#include "net/ClientePop3.h"

#include "app/Erros.h"
#include "net/ResolucaoNomes.h"
#include "net/SocketVigiado.h"
#include "platform/Ansi.h"

#include <Poco/Exception.h>
#include <Poco/Net/POP3ClientSession.h>
#include <Poco/Net/SocketAddress.h>

namespace orvalis {

ClientePop3::ClientePop3() = default;

ClientePop3::~ClientePop3() {
    Desconectar();
}

void ClientePop3::Conectar() {
    try {
        const Poco::Net::SocketAddress endereco =
            ResolucaoNomes::Resolver(ToUtf8(host), static_cast<Poco::UInt16>(porta),
                                     limiteResolucao, ResolucaoNomes::Familia::Ipv4Primeiro);
        auto* conexao = new SocketVigiado(
            {limiteInatividade, velocidadeMinima, VigiaTransferencia::kMaiorRespostaDialogo});
        const Poco::Net::StreamSocket tcp(conexao);
        conexao->Conectar(endereco, limiteConexao);
        socket_ = tcp;
        sessao_ = std::make_unique<Poco::Net::POP3ClientSession>(socket_);
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
