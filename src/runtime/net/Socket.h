// A connected TCP client socket (IPv4), for the HTTP client.
//
// One small interface over Winsock and POSIX sockets; the source file per system is
// chosen by CMake. A Socket owns its connection: it is move-only and closes on
// destruction. Errors are runtime::Exception with a message naming the host, the port
// and the system's error code. After an error the connection is in no known state:
// the caller closes it (or lets it go). One thread uses a Socket at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace runtime::net {

class Socket {
public:
    // Not connected.
    Socket() noexcept = default;
    ~Socket() { close(); }

    Socket(Socket&& other) noexcept
        : handle_(std::exchange(other.handle_, invalidHandle)), peer_(std::move(other.peer_)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, invalidHandle);
            peer_ = std::move(other.peer_);
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Resolves `host` (a name or an IPv4 literal) and connects to the first address
    // that accepts, waiting at most `timeoutSeconds` for each attempt (no limit when
    // it is not positive). Throws when the name does not resolve, the connection is
    // refused, or the time runs out.
    static Socket connect(const std::string& host, std::uint16_t port, double timeoutSeconds);

    // Sends every byte of `bytes`, waiting at most `timeoutSeconds` each time the
    // system cannot take more. Throws on failure or time-out.
    void sendAll(std::string_view bytes, double timeoutSeconds);

    // Reads what has arrived, up to `size` bytes, into `buffer`, waiting at most
    // `timeoutSeconds` for the first byte. Returns 0 when the peer has closed its side.
    // Throws on failure or time-out.
    std::size_t receive(char* buffer, std::size_t size, double timeoutSeconds);

    // Closes the connection; a Socket that is not connected is left as it is. Keeps
    // errno (and the Winsock last error), so it is safe between a failure and its report.
    void close() noexcept;

    bool isOpen() const noexcept { return handle_ != invalidHandle; }
    // "host:port", for messages.
    const std::string& peer() const noexcept { return peer_; }

private:
    // A POSIX descriptor or a Winsock SOCKET; both systems' invalid value is all ones.
    static constexpr std::intptr_t invalidHandle = -1;

    Socket(std::intptr_t handle, std::string peer) noexcept
        : handle_(handle), peer_(std::move(peer)) {}

    std::intptr_t handle_ = invalidHandle;
    std::string peer_;
};

} // namespace runtime::net
