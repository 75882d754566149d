// Whether a text names a host that has an address: IPv4 text first, then a name
// lookup through the system's resolver (Winsock on Windows, getaddrinfo on POSIX).
//
// The interface exists so that code deciding on an answer can be given a resolver of
// its own in tests; systemResolver() is the one the program uses. Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace runtime::net {

class HostResolver {
public:
    virtual ~HostResolver() = default;

    // True when `host` is IPv4 text ("127.0.0.1"; no lookup then) or a name with at
    // least one address. False when the resolver finds no address for it: no such
    // name, a name without addresses, a text that cannot be a name, or no answer to
    // be had (no name server reachable, a temporary or final failure of the lookup).
    // Any other failure (the resolver cannot start, runs out of memory, ...) throws
    // runtime::Exception.
    virtual bool resolves(const std::string& host) const = 0;
};

// The system's resolver.
const HostResolver& systemResolver();

// True for IPv4 text in the four-part dotted decimal form, each part 0 to 255.
bool isIPv4Text(std::string_view text);

} // namespace runtime::net
