// The product's error kinds. Each carries a message and, where it wraps a lower
// failure, that failure as its cause.
#pragma once

#include "runtime/Exception.h"

#include <exception>
#include <string>

namespace vx {

class VXException : public runtime::Exception {
public:
    explicit VXException(std::string message, std::exception_ptr cause = nullptr)
        : runtime::Exception(std::move(message)), cause_(std::move(cause)) {}

    // The error that led to this one; null when there is none.
    const std::exception_ptr& getCause() const noexcept { return cause_; }

private:
    std::exception_ptr cause_;
};

// A request cannot be opened, or a download to a temporary file fails.
class VXDownloadException : public VXException {
public:
    using VXException::VXException;
};

// A target file or its folder cannot be created or written.
class VXFileException : public VXException {
public:
    using VXException::VXException;
};

// A downloaded program cannot be started.
class VXProcessException : public VXException {
public:
    using VXException::VXException;
};

} // namespace vx
