// Closes a POSIX descriptor of a test's own server when it goes out of scope.
#pragma once

#include <unistd.h>

namespace testing_support {

struct Fd {
    int value = -1;
    explicit Fd(int v) : value(v) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (value >= 0) {
            ::close(value);
        }
    }
};

} // namespace testing_support
