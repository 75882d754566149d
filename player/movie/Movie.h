// The movie format of our player library: a line-based text that says what the
// movie shows, which host functions it calls and how it answers the host's calls.
// docs/movie-format.md is the reference for people who write movies.
//
// This part is portable (no <windows.h>): it turns a movie's text into a flat list
// of steps that the player's interpreter runs, and holds the little XML helpers the
// player needs for ExternalInterface requests and replies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace player::movie {

// The first line of every movie; anything else is "not a movie of ours".
inline constexpr std::string_view kMagic = "brivola-movie 1";

enum class Op {
    Title,       // text: what the title line shows
    Status,      // text: the status line
    Progress,    // text: the last progress text
    Bar,         // number: the progress indicator, 0..100
    Call,        // name, text = request XML; keeps the reply
    Raw,         // text = request sent as it is; keeps the reply
    Expect,      // text: the kept reply must equal it exactly
    Answer,      // name ("*" = any other name), text = reply to host calls of that name
    Wait,        // names + labels (label "" = go on), seconds = time-out
    FsCommand,   // name = command, text = argument text
    Button,      // text = label, seconds = auto-press delay (< 0: never)
    Drag,        // dx, dy, flag = Shift held
    Close,       // the system's close command, as Alt+F4 gives it
    Sleep,       // seconds
    RepeatBegin, // count; target = index of the matching RepeatEnd
    RepeatEnd,   // target = index of the matching RepeatBegin
    Label,       // name
    Goto,        // target = index of the label
    Stop,        // ends the movie
    Fail,        // text: ends the movie as failed (a movie can test for itself)
};

struct Step {
    Op op{};
    int line = 0; // 1-based line in the movie text, for messages
    std::string name;
    std::string text;
    std::vector<std::string> names;
    std::vector<std::string> labels;
    std::vector<std::size_t> targets; // Wait: step index per label (unused when label is "")
    double seconds = 0;
    std::int64_t count = 0;
    int dx = 0;
    int dy = 0;
    bool flag = false;
    std::size_t target = 0;
};

struct Movie {
    std::vector<Step> steps;
};

// Result of parsing: a movie or the reason it cannot be played.
struct ParseResult {
    std::optional<Movie> movie;
    std::string error; // set when movie is empty: "line N: ..." or what the file is
};

// Parses a movie's bytes. Never throws on bad input: every fault is reported in
// `error`. Recognises a real Flash file (FWS/CWS/ZWS) and the empty file by name.
ParseResult parse(std::string_view bytes);

// --- ExternalInterface helpers ----------------------------------------------

// "&", "<", ">", '"' and "'" as entities.
std::string encodeEntities(std::string_view text);
// The five entities above back to characters; anything else is kept.
std::string decodeEntities(std::string_view text);

// The value of the `name` attribute of the first `invoke` element, decoded;
// empty when there is none.
std::string invokeName(std::string_view request);
// The text of the first `string` element inside `arguments`, decoded, if any.
std::optional<std::string> firstStringArgument(std::string_view request);

// Parses one typed value as written in a movie (see docs/movie-format.md) starting
// at `pos`, appending its XML form to `xml`. Returns false with `error` set on a
// fault. Exposed for the tests.
bool parseValue(std::string_view text, std::size_t& pos, std::string& xml, std::string& error);

// The request text of a call of `name` with the typed arguments in `args`
// (the rest of a `call` line). Returns false with `error` set on a fault.
bool buildRequest(std::string_view name, std::string_view args, std::string& request,
                  std::string& error);

} // namespace player::movie
