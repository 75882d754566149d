#include "external/DocEntity.h"
#include "external/ExternalInterfaceSerializer.h"
#include "runtime/Exception.h"
#include "runtime/xml/Reader.h"
#include "support/CapturedLog.h"
#include "vx/Version.h"
#include "vx/config/Config.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using external::deserializeCall;
using external::serializeCall;
using external::serializeReturn;
using vx::Variant;

namespace {

std::string reply(const Variant& value) {
    return serializeReturn(value);
}

// The value of the only argument of a call holding `valueXml`.
Variant readArgument(const std::string& valueXml) {
    const auto call = deserializeCall("<invoke name=\"f\" returntype=\"xml\"><arguments>" + valueXml +
                                      "</arguments></invoke>");
    EXPECT_EQ(call.getArguments().size(), 1u);
    return call.getArguments().at(0);
}

} // namespace

TEST(ExternalInterfaceWrite, CallsAreOneLineWithoutWhiteSpace) {
    EXPECT_EQ(serializeCall("OnComplete", {Variant("Installed")}),
              "<invoke name=\"OnComplete\" returntype=\"xml\"><arguments><string>Installed</string>"
              "</arguments></invoke>");
    EXPECT_EQ(serializeCall("OnProgress", {}), "<invoke name=\"OnProgress\" returntype=\"xml\"/>");
    EXPECT_EQ(serializeCall("f", {Variant(true), Variant(), Variant(std::int32_t{-7}), Variant(2.5L)}),
              "<invoke name=\"f\" returntype=\"xml\"><arguments><true/><null/><number>-7</number>"
              "<number>2.50</number></arguments></invoke>");
}

TEST(ExternalInterfaceWrite, RepliesByKind) {
    struct Case {
        Variant value;
        const char* xml;
    };
    const Case cases[] = {
        {Variant(true), "<true/>"},
        {Variant(false), "<false/>"},
        {Variant(), "<null/>"},
        {Variant(std::int32_t{42}), "<number>42</number>"},
        {Variant(std::int32_t{std::numeric_limits<std::int32_t>::min()}), "<number>-2147483648</number>"},
        {Variant(42.0L), "<number>42.00</number>"},
        {Variant(42.0), "<number>42.00</number>"},
        {Variant(42.0f), "<number>42.00</number>"},
        {Variant(std::string()), "<string></string>"},
        {Variant("a<b & \"c\" 'd'"), "<string>a&lt;b &amp; &quot;c&quot; &apos;d&apos;</string>"},
        {Variant(Variant::StringList{"x", "y&z"}),
         "<array><property id=\"0\"><string>x</string></property>"
         "<property id=\"1\"><string>y&amp;z</string></property></array>"},
        {Variant(Variant::StringList{}), "<array/>"},
        // What the movie sends is not written back, nor is anything of the program's own.
        {Variant(Variant::List{Variant(1.0L)}), ""},
        {Variant(Variant::Map{{"a", Variant(true)}}), ""},
        {Variant::nullPointer(), ""},
        {Variant(Variant::DispatchRef()), ""},
        {Variant(Variant::ConfigRef()), ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reply(c.value), c.xml) << c.xml;
    }
}

TEST(ExternalInterfaceWrite, NumberForms) {
    struct Case {
        long double value;
        const char* text;
    };
    const Case cases[] = {
        {5, "5.00"},
        {-0.25L, "-0.25"},
        {1234.567L, "1234.57"},
        {0, "0.00"},
        {0.004L, "0.00"},
        {9999999999.0L, "9999999999.00"},
        {1e10L, "1.00e+10"},
        {-12345678901.0L, "-1.23e+10"},
        {1e300L, "1.00e+300"},
        {1e-10L, "1.00e-10"},
        {std::numeric_limits<long double>::infinity(), "inf"},
        {-std::numeric_limits<long double>::infinity(), "-inf"},
        {std::numeric_limits<long double>::quiet_NaN(), "nan"},
        {-std::numeric_limits<long double>::quiet_NaN(), "-nan"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(external::formatNumber(c.value), c.text) << c.text;
    }
}

TEST(ExternalInterfaceWrite, ConfigurationNodesAndRecords) {
    auto root = std::make_shared<vx::config::Config>();
    root->setString("coredir", "C:/Brivola & co");
    root->setInt("port", 80);
    root->setBool("on", true);
    auto section = root->createSection();
    section->setString("name", "x");
    root->setEntry("app", section);
    EXPECT_EQ(reply(Variant(Variant::ConfigRef(root))),
              "<object><property id=\"coredir\"><string>C:/Brivola &amp; co</string></property>"
              "<property id=\"port\"/><property id=\"on\"/>"
              "<property id=\"app\"><object><property id=\"name\"><string>x</string></property>"
              "</object></property></object>");
    EXPECT_EQ(reply(Variant(root->get("coredir"))), "<string>C:/Brivola &amp; co</string>");
    EXPECT_EQ(reply(Variant(root->get("port"))), "");

    auto record = std::make_shared<vx::ListAppsVariant>(Variant::Map{
        {"name", Variant("Search")},
        {"upgrade", Variant(false)},
        {"components", Variant(Variant::StringList{"core"})},
    });
    const std::string object = "<object><property id=\"components\"><array><property id=\"0\">"
                               "<string>core</string></property></array></property>"
                               "<property id=\"name\"><string>Search</string></property>"
                               "<property id=\"upgrade\"><false/></property></object>";
    EXPECT_EQ(reply(Variant(record)), object);
    EXPECT_EQ(reply(Variant(Variant::RecordList{record, record})),
              "<array><property id=\"0\">" + object + "</property><property id=\"1\">" + object +
                  "</property></array>");
}

TEST(ExternalInterfaceWrite, TextWithCrLfLosesItsOuterWhiteSpace) {
    EXPECT_EQ(reply(Variant("  line one\r\nline two \t")), "<string>line one\r\nline two</string>");
    EXPECT_EQ(reply(Variant("  no break  ")), "<string>  no break  </string>");
}

TEST(ExternalInterfaceWrite, ReplyIsLogged) {
    testing_support::CapturedLog log;
    reply(Variant(true));
    ASSERT_FALSE(log.texts().empty());
    EXPECT_EQ(log.texts().back(), "<true/>");
}

TEST(ExternalInterfaceRead, CallNameAndArgumentsInOrder) {
    const auto call = deserializeCall(
        "<invoke name=\"tulip.vxcore.install.DoMetaInstall\" returntype=\"xml\"><arguments>"
        "<string>a&amp;b</string> <number>3</number>\n<true/><null/><undefined/></arguments></invoke>");
    EXPECT_EQ(call.getFunctionName(), "tulip.vxcore.install.DoMetaInstall");
    const auto& args = call.getArguments();
    ASSERT_EQ(args.size(), 5u);
    EXPECT_EQ(args[0].asString(), "a&b");
    ASSERT_TRUE(args[1].ifExtended());
    EXPECT_EQ(*args[1].ifExtended(), 3.0L);
    EXPECT_TRUE(args[2].asBool());
    EXPECT_TRUE(args[3].empty());
    EXPECT_TRUE(args[4].empty());
    // Written back, a movie number becomes a two-decimal number.
    EXPECT_EQ(reply(args[1]), "<number>3.00</number>");

    EXPECT_TRUE(deserializeCall("<invoke name=\"tulip.init\" returntype=\"xml\"/>").getArguments().empty());
    // Names are taken as they stand; entities in them are not decoded.
    EXPECT_EQ(deserializeCall("<invoke name=\"a&amp;b\"/>").getFunctionName(), "a&amp;b");
}

TEST(ExternalInterfaceRead, StringsAndEntities) {
    EXPECT_EQ(readArgument("<string/>").asString(), "");
    EXPECT_EQ(readArgument("<string></string>").asString(), "");
    EXPECT_EQ(readArgument("<string>a&amp;b</string>").asString(), "a&b");
    EXPECT_EQ(readArgument("<string>a&copy;b &#38; &amp</string>").asString(), "a&copy;b &#38; &amp");
    EXPECT_EQ(readArgument("<string>&lt;&gt;&quot;&apos;&amp;amp;</string>").asString(), "<>\"'&amp;");

    // Round trip of every special character.
    const std::string text = "a<b & \"c\" 'd' > e";
    const std::string xml = serializeCall("f", {Variant(text)});
    EXPECT_EQ(deserializeCall(xml).getArguments().at(0).asString(), text);
    EXPECT_EQ(external::encodeEntities("plain"), "plain");
    EXPECT_EQ(external::decodeEntities("plain"), "plain");
}

TEST(ExternalInterfaceRead, ArraysAndObjects) {
    const Variant list = readArgument("<array><property id=\"5\"><string>a</string></property>"
                                      "<property id=\"2\"><number>1</number></property>"
                                      "<property id=\"9\"><array/></property></array>");
    ASSERT_EQ(list.asList().size(), 3u);
    EXPECT_EQ(list.asList()[0].asString(), "a");
    EXPECT_EQ(list.asList()[1].asNumber(), 1.0L);
    EXPECT_TRUE(list.asList()[2].asList().empty());

    const Variant map = readArgument("<object><property id=\"k\"><string>first</string></property>"
                                     "<property id=\"o\"><object><property id=\"x\"><true/></property>"
                                     "</object></property>"
                                     "<property id=\"k\"><string>second</string></property></object>");
    ASSERT_EQ(map.asMap().size(), 2u);
    EXPECT_EQ(map.asMap().at("k").asString(), "second");
    EXPECT_TRUE(map.asMap().at("o").asMap().at("x").asBool());
    // Returned unchanged, neither is written.
    EXPECT_EQ(reply(list), "");
    EXPECT_EQ(reply(map), "");
}

TEST(ExternalInterfaceRead, NumberGrammar) {
    struct Case {
        const char* text;
        long double value;
    };
    const Case good[] = {
        {"3", 3},
        {"-3", -3},
        {"+3", 3},
        {"  \t-2.5", -2.5L},
        {"--4", 4},
        {"1.", 1},
        {".5", 0.5L},
        {"1e3", 1000},
        {"1.5E-2", 0.015L},
        {"2e+2", 200},
        {"0x1F", 31},
        {"0XfF", 255},
        {"0b101", 5},
        {"0B11", 3},
        {"0o17", 15},
        {"-0x10", -16},
        {"007", 7},
    };
    for (const Case& c : good) {
        EXPECT_EQ(external::parseNumber(c.text), c.value) << c.text;
    }
    EXPECT_TRUE(std::isinf(external::parseNumber("inf")));
    EXPECT_LT(external::parseNumber("-inf"), 0);
    EXPECT_TRUE(std::isnan(external::parseNumber("nan")));
    EXPECT_EQ(readArgument("<number/>").asNumber(), 0.0L);

    const char* bad[] = {"3x", "", " ", "-", "x", "1e", "1e+", "0x", "0b2", "0o8", "0xg", "Inf", "NaN",
                         "infinity", "1 ", "1.2.3", "e5", "0x1.8", "1_000"};
    for (const char* text : bad) {
        EXPECT_THROW(external::parseNumber(text), runtime::Exception) << '"' << text << '"';
    }
    EXPECT_THROW(readArgument("<number>3x</number>"), runtime::Exception);
}

TEST(ExternalInterfaceRead, FaultsAreErrors) {
    try {
        readArgument("<date>2024</date>");
        FAIL() << "an unknown element was read";
    } catch (const runtime::Exception& e) {
        EXPECT_STREQ(e.what(), "Invalid parameter type!date");
    }
    const char* requests[] = {
        "",
        "<invoke returntype=\"xml\"/>",
        "<call name=\"f\"/>",
        "<invoke name=\"f\"><arguments><string>x</arguments></invoke>",
        "<invoke name=\"f\"><arguments><array><property id=\"0\"/></array></arguments></invoke>",
        "<invoke name=\"f\"><arguments><object><property><true/></property></object></arguments></invoke>",
        "<invoke name=\"f\"><arguments><string>&amp</string>",
    };
    for (const char* request : requests) {
        EXPECT_THROW(deserializeCall(request), runtime::Exception) << request;
    }
}

TEST(ExternalInterfaceRead, DeepNestingIsRefusedNotRecursedInto) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) {
        deep += "<array><property id=\"0\">";
    }
    EXPECT_THROW(readArgument(deep), runtime::Exception);

    // Well within the reader's bound: read, and recursion stays shallow.
    std::string nested = "<null/>";
    for (int i = 0; i < 100; ++i) {
        nested = "<array><property id=\"0\">" + nested + "</property></array>";
    }
    const Variant value = readArgument(nested);
    EXPECT_EQ(value.asList().size(), 1u);
}

TEST(ExternalInterfaceCall, LogForm) {
    external::ExternalInterfaceCall call("tulip.GetAppName");
    EXPECT_EQ(call.toString(), "Function name: tulip.GetAppName\n");
    call.addArgument(Variant());
    call.addArgument(Variant(true));
    call.addArgument(Variant("text"));
    call.addArgument(Variant(2.5L));
    call.addArgument(Variant(Variant::List{}));
    call.addArgument(Variant(std::int32_t{3}));
    EXPECT_EQ(call.toString(), "Function name: tulip.GetAppName\nArguments:\n\tnull\n\ttrue\n\ttext\n\t2.5\n");
}

TEST(Variant, TakingAValueAsAnotherKindIsATypeMismatch) {
    EXPECT_THROW(Variant(true).asString(), vx::TypeMismatch);
    EXPECT_THROW(Variant("x").asMap(), vx::TypeMismatch);
    EXPECT_THROW(Variant().asBool(), vx::TypeMismatch);
    EXPECT_THROW(Variant(std::int32_t{1}).asNumber(), vx::TypeMismatch);
    EXPECT_EQ(Variant(1.5f).asNumber(), 1.5L);
    EXPECT_EQ(Variant(1.5).asNumber(), 1.5L);
    EXPECT_TRUE(Variant::nullPointer().is(Variant::Kind::NullPointer));
    try {
        Variant(true).asString();
    } catch (const vx::TypeMismatch& e) {
        EXPECT_STREQ(e.what(), "Type mismatch: expected a string, got a bool");
    }
}
