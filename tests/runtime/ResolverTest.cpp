// The system's resolver with loopback names only: nothing here may reach the network.
// A name with an empty label cannot be put into a query at all, so it fails locally.
#include "runtime/net/Resolver.h"

#include <gtest/gtest.h>

namespace {

using runtime::net::isIPv4Text;
using runtime::net::systemResolver;

TEST(Resolver, IPv4Text) {
    for (const char* yes : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "10.1.2.3"}) {
        EXPECT_TRUE(isIPv4Text(yes)) << yes;
    }
    for (const char* no : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.", ".1.2.3", "1..2.3",
                           "1.2.3.4 ", "a.b.c.d", "1234.1.1.1", "1.2.3.-4"}) {
        EXPECT_FALSE(isIPv4Text(no)) << no;
    }
}

TEST(Resolver, NumbersAndNames) {
    EXPECT_TRUE(systemResolver().resolves("127.0.0.1"));
    EXPECT_TRUE(systemResolver().resolves("localhost"));
    EXPECT_FALSE(systemResolver().resolves("no-such..host"));
    EXPECT_FALSE(systemResolver().resolves(std::string(70, 'a') + ".localhost")); // label too long
}

} // namespace
