#pragma once

#include <Poco/Net/SocketAddress.h>

#include <chrono>
#include <string>

namespace orvalis {

// Name resolution with a time limit, which the system's resolver does not have: the
// lookup runs on a thread of its own, and a lookup still running at the limit is left
// to end by itself while the caller goes on with the failure.
class ResolucaoNomes {
  public:
    enum class Familia {
        SoIpv4,        // IPv4 addresses only
        Ipv4Primeiro,  // any address, IPv4 preferred
    };

    // The address of `host` (a name, or a numeric address taken as it is) with
    // `porta`. Raises Poco::TimeoutException when the resolver has not answered within
    // `limite`, Poco::Net::HostNotFoundException when the name has no address of the
    // family asked for.
    static Poco::Net::SocketAddress Resolver(const std::string& host, Poco::UInt16 porta,
                                             std::chrono::milliseconds limite, Familia familia);
};

}  // namespace orvalis
