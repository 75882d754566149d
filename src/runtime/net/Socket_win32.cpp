#include "runtime/net/Socket.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <mutex>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace runtime::net {

namespace {

// Winsock must be started once per process before the first call; it stays started
// until the process ends, so there is no matching WSACleanup.
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

std::string systemError(int code) {
    return format("Winsock error {}", code);
}

// Waits until `s` is readable (or writable, or connected). Returns false when the time
// ran out. A failed connect shows up in the exception set.
bool waitFor(SOCKET s, bool forWriting, double timeoutSeconds) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval limit{};
    timeval* limitOrNone = nullptr;
    if (timeoutSeconds > 0) {
        const double capped = timeoutSeconds > 2e6 ? 2e6 : timeoutSeconds;
        limit.tv_sec = static_cast<long>(capped);
        limit.tv_usec = static_cast<long>((capped - static_cast<double>(limit.tv_sec)) * 1e6);
        limitOrNone = &limit;
    }
    const int count = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr,
                               &failed, limitOrNone);
    if (count == SOCKET_ERROR) {
        throw Exception(format("Waiting on a socket failed: {}", systemError(::WSAGetLastError())));
    }
    return count > 0;
}

} // namespace

Socket Socket::connect(const std::string& host, std::uint16_t port, double timeoutSeconds) {
    startWinsock();
    const std::string peer = format("{}:{}", host, port);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = format("{}", port);
    if (const int code = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); code != 0) {
        throw Exception(format("Cannot resolve the host name {}: {}", host, systemError(code)));
    }
    std::string lastError = "no address";
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        const SOCKET s = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        Socket connection(static_cast<std::intptr_t>(s), peer);
        if (s == INVALID_SOCKET) {
            lastError = systemError(::WSAGetLastError());
            continue;
        }
        // Non-blocking from here on: connect and every read wait in select, with the limit.
        u_long nonBlocking = 1;
        if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            lastError = systemError(::WSAGetLastError());
            continue;
        }
        if (::connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
            const int code = ::WSAGetLastError();
            if (code != WSAEWOULDBLOCK) {
                lastError = systemError(code);
                continue;
            }
            if (!waitFor(s, true, timeoutSeconds)) {
                lastError = format("timed out after {} s", timeoutSeconds);
                continue;
            }
            int error = 0;
            int length = sizeof error;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) !=
                0) {
                error = ::WSAGetLastError();
            }
            if (error != 0) {
                lastError = systemError(error);
                continue;
            }
        }
        ::freeaddrinfo(found);
        return connection;
    }
    ::freeaddrinfo(found);
    throw Exception(format("Cannot connect to {}: {}", peer, lastError));
}

void Socket::sendAll(std::string_view bytes, double timeoutSeconds) {
    const SOCKET s = static_cast<SOCKET>(handle_);
    while (!bytes.empty()) {
        // send takes an int length; larger pieces go in turns.
        const int piece = bytes.size() > 1 << 20 ? 1 << 20 : static_cast<int>(bytes.size());
        const int sent = ::send(s, bytes.data(), piece, 0);
        if (sent != SOCKET_ERROR) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        const int code = ::WSAGetLastError();
        if (code != WSAEWOULDBLOCK) {
            throw Exception(format("Sending to {} failed: {}", peer_, systemError(code)));
        }
        if (!waitFor(s, true, timeoutSeconds)) {
            throw Exception(format("Sending to {} timed out after {} s", peer_, timeoutSeconds));
        }
    }
}

std::size_t Socket::receive(char* buffer, std::size_t size, double timeoutSeconds) {
    const SOCKET s = static_cast<SOCKET>(handle_);
    const int piece = size > 1 << 20 ? 1 << 20 : static_cast<int>(size);
    for (;;) {
        const int got = ::recv(s, buffer, piece, 0);
        if (got != SOCKET_ERROR) {
            return static_cast<std::size_t>(got);
        }
        const int code = ::WSAGetLastError();
        if (code != WSAEWOULDBLOCK) {
            throw Exception(format("Receiving from {} failed: {}", peer_, systemError(code)));
        }
        if (!waitFor(s, false, timeoutSeconds)) {
            throw Exception(
                format("Receiving from {} timed out after {} s", peer_, timeoutSeconds));
        }
    }
}

void Socket::close() noexcept {
    if (handle_ != invalidHandle) {
        const int saved = ::WSAGetLastError();
        ::closesocket(static_cast<SOCKET>(handle_));
        handle_ = invalidHandle;
        ::WSASetLastError(saved);
    }
}

} // namespace runtime::net
