#include "runtime/net/Socket.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace runtime::net {

namespace {

std::string systemError(int code) {
    return format("{} (error {})", std::strerror(code), code);
}

int toMilliseconds(double seconds) {
    if (!(seconds > 0)) {
        return -1; // poll's "no limit"
    }
    const double ms = seconds * 1000.0;
    return ms > 2e9 ? 2000000000 : static_cast<int>(ms) + 1;
}

// Waits until `fd` is ready for `events`. Returns false when the time ran out.
bool waitFor(int fd, short events, double timeoutSeconds) {
    pollfd entry{};
    entry.fd = fd;
    entry.events = events;
    for (;;) {
        const int ready = ::poll(&entry, 1, toMilliseconds(timeoutSeconds));
        if (ready > 0) {
            return true;
        }
        if (ready == 0) {
            return false;
        }
        if (errno != EINTR) {
            throw Exception(format("Waiting on a socket failed: {}", systemError(errno)));
        }
    }
}

} // namespace

Socket Socket::connect(const std::string& host, std::uint16_t port, double timeoutSeconds) {
    const std::string peer = format("{}:{}", host, port);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = format("{}", port);
    if (const int code = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); code != 0) {
        throw Exception(format("Cannot resolve the host name {}: {} (error {})", host,
                               ::gai_strerror(code), code));
    }
    std::string lastError = "no address";
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        Socket connection(
            ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol),
            peer);
        const int fd = static_cast<int>(connection.handle_);
        if (fd < 0) {
            lastError = systemError(errno);
            continue;
        }
        // Non-blocking from here on: connect and every read wait in poll, with the limit.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
            lastError = systemError(errno);
            continue;
        }
        if (::connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                lastError = systemError(errno);
                continue;
            }
            if (!waitFor(fd, POLLOUT, timeoutSeconds)) {
                lastError = format("timed out after {} s", timeoutSeconds);
                continue;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
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
    const int fd = static_cast<int>(handle_);
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a peer that has gone is an error here, not a SIGPIPE.
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            throw Exception(format("Sending to {} failed: {}", peer_, systemError(errno)));
        }
        if (!waitFor(fd, POLLOUT, timeoutSeconds)) {
            throw Exception(format("Sending to {} timed out after {} s", peer_, timeoutSeconds));
        }
    }
}

std::size_t Socket::receive(char* buffer, std::size_t size, double timeoutSeconds) {
    const int fd = static_cast<int>(handle_);
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, size, 0);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            throw Exception(format("Receiving from {} failed: {}", peer_, systemError(errno)));
        }
        if (!waitFor(fd, POLLIN, timeoutSeconds)) {
            throw Exception(
                format("Receiving from {} timed out after {} s", peer_, timeoutSeconds));
        }
    }
}

void Socket::close() noexcept {
    if (handle_ != invalidHandle) {
        const int saved = errno;
        ::close(static_cast<int>(handle_));
        handle_ = invalidHandle;
        errno = saved;
    }
}

} // namespace runtime::net
