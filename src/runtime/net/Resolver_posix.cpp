#include "runtime/net/Resolver.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <netdb.h>
#include <sys/socket.h>

namespace runtime::net {

namespace {

bool noAddress(int code) {
    switch (code) {
    case EAI_NONAME:
    case EAI_AGAIN:
    case EAI_FAIL:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return true;
    default:
        return false;
    }
}

class SystemResolver : public HostResolver {
public:
    bool resolves(const std::string& host) const override {
        if (isIPv4Text(host)) {
            return true;
        }
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int code = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (code == 0) {
            ::freeaddrinfo(found);
            return true;
        }
        if (noAddress(code)) {
            return false;
        }
        throw Exception(format("Cannot resolve the host name {}: {} (error {})", host,
                               ::gai_strerror(code), code));
    }
};

} // namespace

const HostResolver& systemResolver() {
    static const SystemResolver resolver;
    return resolver;
}

} // namespace runtime::net
