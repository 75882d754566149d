#include "runtime/net/Resolver.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/win32/WinText.h"

#include <mutex>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace runtime::net {

namespace {

// Started once, kept to the end of the process (as the sockets do).
void startWinsock() {
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] {
        WSADATA data{};
        result = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    if (result != 0) {
        throw Exception(format("Cannot start Winsock (error {})", result));
    }
}

bool noAddress(int code) {
    switch (code) {
    case WSAHOST_NOT_FOUND:
    case WSATRY_AGAIN:
    case WSANO_RECOVERY:
    case WSANO_DATA:
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
        startWinsock();
        ADDRINFOW hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        ADDRINFOW* found = nullptr;
        const std::wstring name = win32::widen(host);
        const int code = ::GetAddrInfoW(name.c_str(), nullptr, &hints, &found);
        if (code == 0) {
            ::FreeAddrInfoW(found);
            return true;
        }
        if (noAddress(code)) {
            return false;
        }
        throw Exception(format("Cannot resolve the host name {} (Winsock error {})", host, code));
    }
};

} // namespace

const HostResolver& systemResolver() {
    static const SystemResolver resolver;
    return resolver;
}

} // namespace runtime::net
