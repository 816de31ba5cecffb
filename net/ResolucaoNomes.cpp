#include "net/ResolucaoNomes.h"

#include <Poco/Exception.h>
#include <Poco/Net/IPAddress.h>
#include <Poco/Net/NetException.h>

#include <netdb.h>
#include <sys/socket.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace orvalis {

namespace {

// Shared by the caller and the lookup's thread; whichever ends last frees it.
struct Consulta {
    std::mutex trava;
    std::condition_variable pronta;
    bool terminada = false;
    int codigo = 0;
    std::vector<Poco::Net::IPAddress> enderecos;
};

void Consultar(const std::shared_ptr<Consulta>& consulta, const std::string& host, int familia) {
    addrinfo dica{};
    dica.ai_family = familia;
    dica.ai_socktype = SOCK_STREAM;
    addrinfo* resultado = nullptr;
    const int codigo = getaddrinfo(host.c_str(), nullptr, &dica, &resultado);
    std::vector<Poco::Net::IPAddress> enderecos;
    for (const addrinfo* a = resultado; codigo == 0 && a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET || a->ai_family == AF_INET6) {
            enderecos.emplace_back(*a->ai_addr);
        }
    }
    if (resultado != nullptr) freeaddrinfo(resultado);
    const std::lock_guard<std::mutex> trava(consulta->trava);
    consulta->codigo = codigo;
    consulta->enderecos = std::move(enderecos);
    consulta->terminada = true;
    consulta->pronta.notify_all();
}

}  // namespace

Poco::Net::SocketAddress ResolucaoNomes::Resolver(const std::string& host, Poco::UInt16 porta,
                                                  std::chrono::milliseconds limite,
                                                  Familia familia) {
    Poco::Net::IPAddress numerico;
    if (Poco::Net::IPAddress::tryParse(host, numerico)) {
        if (familia == Familia::SoIpv4 && numerico.family() != Poco::Net::IPAddress::IPv4) {
            throw Poco::Net::HostNotFoundException("Sem endereço IPv4", host);
        }
        return Poco::Net::SocketAddress(numerico, porta);
    }

    auto consulta = std::make_shared<Consulta>();
    const int familiaPedida = familia == Familia::SoIpv4 ? AF_INET : AF_UNSPEC;
    std::thread([consulta, host, familiaPedida] {
        Consultar(consulta, host, familiaPedida);
    }).detach();

    std::unique_lock<std::mutex> trava(consulta->trava);
    if (!consulta->pronta.wait_for(trava, limite, [&] { return consulta->terminada; })) {
        throw Poco::TimeoutException("Tempo esgotado na resolução do nome", host);
    }
    if (consulta->codigo != 0) {
        throw Poco::Net::HostNotFoundException(gai_strerror(consulta->codigo), host);
    }
    std::optional<Poco::Net::IPAddress> escolhido;
    for (const Poco::Net::IPAddress& endereco : consulta->enderecos) {
        if (endereco.family() == Poco::Net::IPAddress::IPv4) {
            escolhido = endereco;
            break;
        }
        if (familia == Familia::Ipv4Primeiro && !escolhido) escolhido = endereco;
    }
    if (!escolhido) throw Poco::Net::HostNotFoundException("Sem endereço", host);
    return Poco::Net::SocketAddress(*escolhido, porta);
}

}  // namespace orvalis
