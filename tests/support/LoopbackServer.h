// A small HTTP server for tests: a thread on 127.0.0.1 that answers each connection
// with bytes chosen by the request target (POSIX sockets; host build only).
// The server is used from the test's thread; its own thread only serves.
#pragma once

#include "runtime/Format.h"
#include "support/Fd.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {


// A socket bound to 127.0.0.1 on a port of the system's choosing.
inline int boundSocket(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// Serves connections one after the other until destroyed. The answer for a request
// target comes from the routes; a target without a route gets a 500. The answer
// `hold` accepts and never says anything.
class TestServer {
public:
    static constexpr const char* hold = "<hold>";

    TestServer() : listener_(boundSocket(port_)) {
        if (::listen(listener_.value, 8) != 0) {
            throw std::runtime_error("cannot listen");
        }
    }
    ~TestServer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    std::uint16_t port() const { return port_; }
    std::string url(const std::string& target) const {
        return runtime::format("http://127.0.0.1:{}{}", port_, target);
    }

    // Starts serving; routes are fixed from here on.
    void start(std::map<std::string, std::string> routes) {
        routes_ = std::move(routes);
        thread_ = std::thread([this] { serve(); });
    }

    // The request heads received so far.
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    // Waits for `fd` to be readable, giving up when the server stops.
    bool waitReadable(int fd) {
        pollfd entry{fd, POLLIN, 0};
        while (!stop_) {
            if (::poll(&entry, 1, 20) > 0) {
                return true;
            }
        }
        return false;
    }

    void serve() {
        while (waitReadable(listener_.value)) {
            Fd connection(::accept(listener_.value, nullptr, nullptr));
            if (connection.value < 0) {
                continue;
            }
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos && waitReadable(connection.value)) {
                const ssize_t got = ::recv(connection.value, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                head.append(buffer, static_cast<std::size_t>(got));
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(head);
            }
            const std::string target = head.substr(4, head.find(' ', 4) - 4);
            const auto route = routes_.find(target);
            const std::string answer = route != routes_.end()
                                           ? route->second
                                           : "HTTP/1.1 500 No Route\r\nContent-Length: 0\r\n\r\n";
            if (answer == hold) {
                while (!stop_) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                return;
            }
            ::send(connection.value, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
    }

    std::uint16_t port_ = 0;
    Fd listener_;
    std::map<std::string, std::string> routes_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

} // namespace testing_support
