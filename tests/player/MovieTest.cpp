// The movie format: what a movie's text turns into, and every way a text is refused.
#include "movie/Movie.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using player::movie::Op;
using player::movie::parse;

std::string movie(const std::string& body) {
    return "brivola-movie 1\n" + body;
}

TEST(MovieParse, CallsCarryTypedArgumentsAsExternalInterfaceXml) {
    struct Case {
        const char* args;
        const char* xml;
    } cases[] = {
        {"", "<arguments/>"},
        {"\"a<b & \\\"c\\\"\"",
         "<arguments><string>a&lt;b &amp; &quot;c&quot;</string></arguments>"},
        {"\"\"", "<arguments><string></string></arguments>"},
        {"42 -0.5 1e3", "<arguments><number>42</number><number>-0.5</number>"
                        "<number>1e3</number></arguments>"},
        {"true, false null undefined", "<arguments><true/><false/><null/><undefined/></arguments>"},
        {"[1, \"x\", [true]]",
         "<arguments><array><property id=\"0\"><number>1</number></property>"
         "<property id=\"1\"><string>x</string></property><property id=\"2\"><array>"
         "<property id=\"0\"><true/></property></array></property></array></arguments>"},
        {"{name: \"brivola\", \"a b\": 2}",
         "<arguments><object><property id=\"name\"><string>brivola</string></property>"
         "<property id=\"a b\"><number>2</number></property></object></arguments>"},
        {"\"line\\nbreak\\ttab\"", "<arguments><string>line\nbreak\ttab</string></arguments>"},
    };
    for (const auto& c : cases) {
        auto r = parse(movie(std::string("call tulip.vxcore.Do ") + c.args + "\n"));
        ASSERT_TRUE(r.movie) << c.args << ": " << r.error;
        ASSERT_EQ(r.movie->steps.size(), 1u);
        const auto& s = r.movie->steps[0];
        EXPECT_EQ(s.op, Op::Call);
        EXPECT_EQ(s.name, "tulip.vxcore.Do");
        EXPECT_EQ(s.text, std::string("<invoke name=\"tulip.vxcore.Do\" returntype=\"xml\">") +
                              c.xml + "</invoke>")
            << c.args;
    }
}

TEST(MovieParse, EveryCommandOfAFullMovie) {
    auto r = parse("brivola-movie 1\r\n"
                   "# the installer's screens\r\n"
                   "\r\n"
                   "title Brivola Desktop Installer\r\n"
                   "status   Getting ready  \r\n"
                   "progress 10%\n"
                   "bar 50\n"
                   "answer OnProgress <string>ok</string>\n"
                   "answer * \n"
                   "raw <invoke name=\"x\"><arguments><date/></arguments></invoke>\n"
                   "expect <null/>\n"
                   "fscommand quit now, please\n"
                   "fscommand QUIT\n"
                   "button Install now autopress 2.5\n"
                   "button Later\n"
                   "drag 40 -30\n"
                   "drag 5 5 shift\n"
                   "close\n"
                   "sleep 0.25\n"
                   "repeat 3\n"
                   "  repeat 0\n"
                   "  end\n"
                   "end\n"
                   "wait OnComplete=done OnError=error timeout 60\n"
                   "wait OnProgress\n"
                   "label done\n"
                   "stop\n"
                   "label error\n"
                   "fail the install failed\n"
                   "goto done\n");
    ASSERT_TRUE(r.movie) << r.error;
    const auto& s = r.movie->steps;
    ASSERT_EQ(s.size(), 27u);
    EXPECT_EQ(s[0].op, Op::Title);
    EXPECT_EQ(s[0].text, "Brivola Desktop Installer");
    EXPECT_EQ(s[0].line, 4);
    EXPECT_EQ(s[1].text, "Getting ready");
    EXPECT_EQ(s[2].op, Op::Progress);
    EXPECT_EQ(s[3].count, 50);
    EXPECT_EQ(s[4].name, "OnProgress");
    EXPECT_EQ(s[4].text, "<string>ok</string>");
    EXPECT_EQ(s[5].name, "*");
    EXPECT_EQ(s[5].text, "");
    EXPECT_EQ(s[6].op, Op::Raw);
    EXPECT_EQ(s[6].text, "<invoke name=\"x\"><arguments><date/></arguments></invoke>");
    EXPECT_EQ(s[8].name, "quit");
    EXPECT_EQ(s[8].text, "now, please");
    EXPECT_EQ(s[9].text, "");
    EXPECT_EQ(s[10].text, "Install now");
    EXPECT_DOUBLE_EQ(s[10].seconds, 2.5);
    EXPECT_LT(s[11].seconds, 0);
    EXPECT_EQ(s[12].dx, 40);
    EXPECT_EQ(s[12].dy, -30);
    EXPECT_FALSE(s[12].flag);
    EXPECT_TRUE(s[13].flag);
    EXPECT_EQ(s[14].op, Op::Close);
    EXPECT_DOUBLE_EQ(s[15].seconds, 0.25);
    // repeat 3 { repeat 0 {} }: each begin knows its end and each end its begin.
    EXPECT_EQ(s[16].count, 3);
    EXPECT_EQ(s[16].target, 19u);
    EXPECT_EQ(s[17].target, 18u);
    EXPECT_EQ(s[18].target, 17u);
    EXPECT_EQ(s[19].target, 16u);
    EXPECT_EQ(s[20].names, (std::vector<std::string>{"OnComplete", "OnError"}));
    EXPECT_EQ(s[20].targets, (std::vector<std::size_t>{22, 24}));
    EXPECT_DOUBLE_EQ(s[20].seconds, 60);
    EXPECT_EQ(s[21].labels, (std::vector<std::string>{""}));
    EXPECT_DOUBLE_EQ(s[21].seconds, 30);
    EXPECT_EQ(s[25].text, "the install failed");
    EXPECT_EQ(s[26].op, Op::Goto);
    EXPECT_EQ(s[26].target, 22u);
}

TEST(MovieParse, UnplayableTextsSayWhy) {
    struct Case {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "the file is empty"},
        {std::string("FWS\x0a\x10\0\0", 8), "a Flash (SWF) file, not a movie of ours"},
        {"CWS\x0a compressed", "a Flash (SWF) file, not a movie of ours"},
        {"<html>404 not found</html>\n", "not a movie of ours (the first line is not"},
        {"brivola-movie 2\ncall x\n", "not a movie of ours"},
        {std::string("brivola-movie 1\n\0", 17), "not a movie of ours (binary data)"},
        {movie("dance\n"), "line 2: unknown command \"dance\""},
        {movie("call\n"), "line 2: call needs a function name"},
        {movie("call f 'single'\n"), "line 2: unexpected '''"},
        {movie("call f \"open\n"), "line 2: a string without its closing quote"},
        {movie("call f \"bad \\q\"\n"), "line 2: unknown escape \\q"},
        {movie("call f word\n"), "line 2: unknown value \"word\""},
        {movie("call f [1, 2\n"), "line 2: an array without its ']'"},
        {movie("call f {a 1}\n"), "line 2: ':' is missing after the object key \"a\""},
        {movie("call f 1.2.3\n"), "line 2: unknown value \"1.2.3\""},
        {movie("call f \"a\"\"b\"\n"), "line 2: unexpected '\"' after a value"},
        {movie("call f " + std::string(100, '[') + "\n"), "line 2: values nested too deeply"},
        {movie("bar 101\n"), "line 2: bar takes a whole number from 0 to 100"},
        {movie("bar half\n"), "line 2: bar takes"},
        {movie("answer\n"), "line 2: answer needs a function name"},
        {movie("wait\n"), "line 2: wait needs at least one function name"},
        {movie("wait timeout 5\n"), "line 2: wait needs at least one function name"},
        {movie("wait A timeout soon\n"), "line 2: timeout takes seconds"},
        {movie("wait A= \n"), "line 2: wait takes NAME or NAME=LABEL"},
        {movie("wait A=nowhere\n"), "line 2: no label \"nowhere\""},
        {movie("fscommand\n"), "line 2: fscommand needs a command"},
        {movie("button\n"), "line 2: button needs a label"},
        {movie("button Go autopress -1\n"), "line 2: autopress takes seconds"},
        {movie("drag 1\n"), "line 2: drag takes DX DY"},
        {movie("drag 1 2 ctrl\n"), "line 2: drag takes DX DY"},
        {movie("close now\n"), "line 2: close takes nothing after it"},
        {movie("sleep 7200\n"), "line 2: sleep takes seconds from 0 to 3600"},
        {movie("repeat -1\nend\n"), "line 2: repeat takes a count"},
        {movie("repeat 2\ncall f\n"), "line 2: repeat without end"},
        {movie("end\n"), "line 2: end without repeat"},
        {movie("repeat 2\nlabel inner\nend\n"), "line 3: a label cannot be inside repeat"},
        {movie("label a\nlabel a\n"), "line 3: label \"a\" is defined twice"},
        {movie("goto b\n"), "line 2: no label \"b\""},
    };
    for (const auto& c : cases) {
        auto r = parse(c.text);
        EXPECT_FALSE(r.movie) << c.text;
        EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << c.text << "\n got: " << r.error;
    }
}

TEST(MovieXml, NamesAndProgressTextsFromHostRequests) {
    using player::movie::firstStringArgument;
    using player::movie::invokeName;
    EXPECT_EQ(invokeName("<invoke name=\"OnProgress\" returntype=\"xml\"><arguments>"
                         "<string>50</string></arguments></invoke>"),
              "OnProgress");
    EXPECT_EQ(invokeName("<invoke returntype=\"xml\" name='a&amp;b'/>"), "a&b");
    EXPECT_EQ(invokeName("<invoker name=\"x\"/>"), "");
    EXPECT_EQ(invokeName("<invoke rename=\"x\"/>"), "");
    EXPECT_EQ(invokeName(""), "");
    EXPECT_EQ(firstStringArgument("<invoke name=\"OnProgress\" returntype=\"xml\"><arguments>"
                                  "<string>Unpacking &lt;core&gt;</string></arguments></invoke>"),
              "Unpacking <core>");
    EXPECT_EQ(firstStringArgument("<invoke name=\"a\"><arguments><string/></arguments></invoke>"),
              "");
    EXPECT_FALSE(firstStringArgument("<invoke name=\"a\"><arguments><number>1</number>"
                                     "</arguments></invoke>"));
    EXPECT_FALSE(firstStringArgument("<invoke name=\"OnComplete\" returntype=\"xml\"/>"));
    EXPECT_EQ(player::movie::decodeEntities("a&copy;b&amp;c&"), "a&copy;b&c&");
}

} // namespace
