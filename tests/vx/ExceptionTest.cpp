#include "vx/Exception.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(VXException, CarriesMessageAndCause) {
    std::exception_ptr cause;
    try {
        throw std::runtime_error("connection refused");
    } catch (...) {
        cause = std::current_exception();
    }
    const vx::VXDownloadException e("Getting an input stream for http://h/ failed", cause);
    EXPECT_EQ(e.message(), "Getting an input stream for http://h/ failed");
    EXPECT_STREQ(e.what(), "Getting an input stream for http://h/ failed");
    EXPECT_EQ(runtime::describe(e.getCause()), "connection refused");

    const vx::VXException plain("no cause");
    EXPECT_FALSE(plain.getCause());
    EXPECT_EQ(runtime::describe(plain.getCause()), "");
}

TEST(VXException, KindsAreCaughtAsTheBase) {
    auto kinds = {
        +[] { throw vx::VXDownloadException("d"); },
        +[] { throw vx::VXFileException("f"); },
        +[] { throw vx::VXProcessException("p"); },
    };
    for (auto raise : kinds) {
        EXPECT_THROW(raise(), vx::VXException);
    }
    // A cause that is itself one of ours keeps its kind.
    try {
        try {
            throw vx::VXFileException("Unable to write to the file at C:/a");
        } catch (...) {
            throw vx::VXException("outer", std::current_exception());
        }
    } catch (const vx::VXException& outer) {
        EXPECT_THROW(std::rethrow_exception(outer.getCause()), vx::VXFileException);
        EXPECT_EQ(runtime::describe(outer.getCause()), "Unable to write to the file at C:/a");
    }
}

} // namespace
