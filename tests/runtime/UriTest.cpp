#include "runtime/Uri.h"

#include "runtime/Exception.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using runtime::Uri;

TEST(Uri, ParsesHostPortPathAndQuery) {
    struct Case {
        const char* text;
        const char* host;
        int port;
        const char* path;
        const char* query;
        bool hasQuery;
        const char* asText;
    };
    const Case cases[] = {
        {"http://example.com", "example.com", 80, "/", "", false, "http://example.com/"},
        {"http://example.com/", "example.com", 80, "/", "", false, "http://example.com/"},
        {"HTTP://Example.com:8080/a/b.swf", "Example.com", 8080, "/a/b.swf", "", false,
         "http://Example.com:8080/a/b.swf"},
        {"http://127.0.0.1:65535/x?y=1&z", "127.0.0.1", 65535, "/x", "y=1&z", true,
         "http://127.0.0.1:65535/x?y=1&z"},
        {"http://h:80/p", "h", 80, "/p", "", false, "http://h/p"},
        {"http://h?q", "h", 80, "/", "q", true, "http://h/?q"},
        {"http://h/p?", "h", 80, "/p", "", true, "http://h/p?"},
        {"http://h/p#frag", "h", 80, "/p", "", false, "http://h/p"},
        {"http://my-host.local./%20a", "my-host.local.", 80, "/%20a", "", false,
         "http://my-host.local./%20a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Uri uri = Uri::parse(c.text);
        EXPECT_EQ(uri.host(), c.host);
        EXPECT_EQ(uri.port(), c.port);
        EXPECT_EQ(uri.path(), c.path);
        EXPECT_EQ(uri.query(), c.query);
        EXPECT_EQ(uri.hasQuery(), c.hasQuery);
        EXPECT_EQ(uri.toString(), c.asText);
        EXPECT_EQ(Uri::parse(uri.toString()), uri);
    }
}

TEST(Uri, RequestTargetAndAuthorityAreWhatTheRequestSends) {
    const Uri uri = Uri::parse("http://127.0.0.1:8000/static/x.swf?v=2");
    EXPECT_EQ(uri.requestTarget(), "/static/x.swf?v=2");
    EXPECT_EQ(uri.authority(), "127.0.0.1:8000");
    EXPECT_EQ(Uri::parse("http://h").authority(), "h");
}

TEST(Uri, RejectsWhatIsNotAnHttpUrlNamingTheUrl) {
    struct Case {
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {"", "not an absolute URL"},
        {"example.com/x", "not an absolute URL"},
        {"/relative/path", "not an absolute URL"},
        {"https://example.com/", "only the http scheme"},
        {"ftp://example.com/", "only the http scheme"},
        {"http:example.com", "no host"},
        {"http://", "no host"},
        {"http:///path", "no host"},
        {"http://:80/", "no host"},
        {"http://user:pw@example.com/", "user information"},
        {"http://@example.com/", "user information"},
        {"http://h:/", "port is empty"},
        {"http://h:0/", "out of range"},
        {"http://h:65536/", "out of range"},
        {"http://h:99999999999999999999/", "out of range"},
        {"http://h:-1/", "not a number"},
        {"http://h:8x/", "not a number"},
        {"http://h:80:81/", "not a number"},
        {"http://h/a b", "space, control or non-ASCII"},
        {" http://h/", "space, control or non-ASCII"},
        {"http://h/\r\nX: y", "space, control or non-ASCII"},
        {std::string("http://h/\0", 10), "\"http://h/\\x00\": it contains a space"},
        {"http://h/\x7f", "space, control or non-ASCII"},
        {"http://h\xc3\xa9.com/", "space, control or non-ASCII"},
        {"http://[::1]/", "neither a name nor an IPv4"},
        {"http://a_b/", "neither a name nor an IPv4"},
        {"http://a..b/", "empty label"},
        {"http://.a/", "empty label"},
        {"http://1.2.3/", "not a valid IPv4"},
        {"http://1.2.3.4.5/", "not a valid IPv4"},
        {"http://256.1.1.1/", "not a valid IPv4"},
        {"http://1.2.3.0001/", "not a valid IPv4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            Uri::parse(c.text);
            ADD_FAILURE() << "parsed";
        } catch (const runtime::Exception& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.why), std::string::npos) << message;
            if (c.text.find_first_of(std::string("\0\r\x7f\xc3", 4)) == std::string::npos) {
                EXPECT_NE(message.find("\"" + c.text + "\""), std::string::npos) << message;
            }
        }
    }
}

TEST(Uri, ResolvesRedirectLocations) {
    const Uri base = Uri::parse("http://host:81/a/b/c?q=1");
    struct Case {
        const char* location;
        const char* expected;
    };
    const Case cases[] = {
        {"http://other/x", "http://other/x"},  {"HTTP://other:9/x?y", "http://other:9/x?y"},
        {"//other/x", "http://other/x"},       {"/x/y", "http://host:81/x/y"},
        {"/x/../y/./z", "http://host:81/y/z"}, {"/../x", "http://host:81/x"},
        {"d", "http://host:81/a/b/d"},         {"d?e=f", "http://host:81/a/b/d?e=f"},
        {"./d/", "http://host:81/a/b/d/"},     {"../d", "http://host:81/a/d"},
        {"../../../../d", "http://host:81/d"}, {"..", "http://host:81/a/"},
        {".", "http://host:81/a/b/"},          {"?r=2", "http://host:81/a/b/c?r=2"},
        {"", "http://host:81/a/b/c?q=1"},      {"#frag", "http://host:81/a/b/c?q=1"},
        {"d#frag", "http://host:81/a/b/d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        EXPECT_EQ(base.resolve(c.location).toString(), c.expected);
    }
}

TEST(Uri, RejectsRedirectsItCannotFollow) {
    const Uri base = Uri::parse("http://host/a");
    for (const char* location : {"https://host/secure", "ftp://host/", "/a b", "//", "//u@h/",
                                 "http://host:0/", "mailto:x@y"}) {
        SCOPED_TRACE(location);
        EXPECT_THROW(base.resolve(location), runtime::Exception);
    }
}

} // namespace
