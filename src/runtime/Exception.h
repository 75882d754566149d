// The runtime's base error: a message text. Errors that wrap a lower failure keep it
// as a std::exception_ptr (see vx/Exception.h).
#pragma once

#include <exception>
#include <string>

namespace runtime {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// The message of the error held by `error`; empty for a null pointer and a fixed
// text for something that is not a std::exception.
std::string describe(const std::exception_ptr& error);

} // namespace runtime
