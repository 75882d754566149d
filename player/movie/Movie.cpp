#include "movie/Movie.h"

#include <charconv>
#include <cmath>
#include <map>

namespace player::movie {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (isSpace(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (isSpace(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Splits off the first word of `s` (up to a space or tab); `s` keeps the rest, trimmed.
std::string_view firstWord(std::string_view& s) {
    s = trim(s);
    std::size_t end = 0;
    while (end < s.size() && !isSpace(s[end]))
        ++end;
    std::string_view word = s.substr(0, end);
    s = trim(s.substr(end));
    return word;
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    while (!trim(s).empty())
        out.push_back(firstWord(s));
    return out;
}

bool parseInt(std::string_view s, std::int64_t& out) {
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

bool parseSeconds(std::string_view s, double& out) {
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    // An hour is more than any movie waits; a larger value is a typing error.
    return ec == std::errc() && p == s.data() + s.size() && std::isfinite(out) && out >= 0 &&
           out <= 3600;
}

void skipSeparators(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && (isSpace(text[pos]) || text[pos] == ','))
        ++pos;
}

bool parseString(std::string_view text, std::size_t& pos, std::string& out, std::string& error) {
    ++pos; // opening quote
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '"')
            return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= text.size())
            break;
        char e = text[pos++];
        switch (e) {
        case '"':
            out += '"';
            break;
        case '\\':
            out += '\\';
            break;
        case '/':
            out += '/';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        default:
            error = std::string("unknown escape \\") + e + " in a string";
            return false;
        }
    }
    error = "a string without its closing quote";
    return false;
}

bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == '+';
}

bool isNumber(std::string_view w) {
    std::size_t i = 0;
    if (i < w.size() && (w[i] == '-' || w[i] == '+'))
        ++i;
    std::size_t digits = 0;
    while (i < w.size() && w[i] >= '0' && w[i] <= '9')
        ++i, ++digits;
    if (i < w.size() && w[i] == '.') {
        ++i;
        while (i < w.size() && w[i] >= '0' && w[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
        ++i;
        if (i < w.size() && (w[i] == '-' || w[i] == '+'))
            ++i;
        std::size_t exp = 0;
        while (i < w.size() && w[i] >= '0' && w[i] <= '9')
            ++i, ++exp;
        if (exp == 0)
            return false;
    }
    return i == w.size();
}

// Nesting deeper than this is a runaway movie, not a value anyone means.
constexpr int kMaxDepth = 64;

bool parseValueAt(std::string_view text, std::size_t& pos, std::string& xml, std::string& error,
                  int depth) {
    if (depth > kMaxDepth) {
        error = "values nested too deeply";
        return false;
    }
    if (pos >= text.size()) {
        error = "a value is missing";
        return false;
    }
    char c = text[pos];
    if (c == '"') {
        std::string s;
        if (!parseString(text, pos, s, error))
            return false;
        xml += s.empty() ? "<string></string>" : "<string>" + encodeEntities(s) + "</string>";
        return true;
    }
    if (c == '[' || c == '{') {
        const bool object = c == '{';
        const char close = object ? '}' : ']';
        xml += object ? "<object>" : "<array>";
        ++pos;
        std::size_t index = 0;
        for (;;) {
            skipSeparators(text, pos);
            if (pos >= text.size()) {
                error = std::string("an ") + (object ? "object" : "array") + " without its '" +
                        close + "'";
                return false;
            }
            if (text[pos] == close) {
                ++pos;
                break;
            }
            std::string id;
            if (object) {
                if (text[pos] == '"') {
                    if (!parseString(text, pos, id, error))
                        return false;
                } else {
                    while (pos < text.size() && isWordChar(text[pos]))
                        id += text[pos++];
                    if (id.empty()) {
                        error = "an object key is missing";
                        return false;
                    }
                }
                while (pos < text.size() && isSpace(text[pos]))
                    ++pos;
                if (pos >= text.size() || text[pos] != ':') {
                    error = "':' is missing after the object key \"" + id + "\"";
                    return false;
                }
                ++pos;
                while (pos < text.size() && isSpace(text[pos]))
                    ++pos;
            } else {
                id = std::to_string(index++);
            }
            xml += "<property id=\"" + encodeEntities(id) + "\">";
            if (!parseValueAt(text, pos, xml, error, depth + 1))
                return false;
            xml += "</property>";
        }
        xml += object ? "</object>" : "</array>";
        return true;
    }
    std::size_t end = pos;
    while (end < text.size() && isWordChar(text[end]))
        ++end;
    std::string_view w = text.substr(pos, end - pos);
    if (w == "true" || w == "false" || w == "null" || w == "undefined") {
        xml += "<" + std::string(w) + "/>";
    } else if (isNumber(w)) {
        xml += "<number>" + std::string(w) + "</number>";
    } else if (w.empty()) {
        error = std::string("unexpected '") + c + "'";
        return false;
    } else {
        error = "unknown value \"" + std::string(w) + "\" (strings need double quotes)";
        return false;
    }
    pos = end;
    return true;
}

// Where an element's start tag `<tag` begins (followed by space, '>' or '/'), from `from`.
std::size_t findStartTag(std::string_view text, std::string_view tag, std::size_t from) {
    std::string open = "<" + std::string(tag);
    for (std::size_t at = text.find(open, from); at != std::string_view::npos;
         at = text.find(open, at + 1)) {
        std::size_t after = at + open.size();
        if (after < text.size() &&
            (text[after] == ' ' || text[after] == '>' || text[after] == '/' ||
             text[after] == '\t' || text[after] == '\r' || text[after] == '\n'))
            return at;
    }
    return std::string_view::npos;
}

} // namespace

std::string encodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string decodeEntities(std::string_view text) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (text.substr(i, entity.size()) == entity) {
                    out += c;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

std::string invokeName(std::string_view request) {
    std::size_t at = findStartTag(request, "invoke", 0);
    if (at == std::string_view::npos)
        return {};
    std::size_t tagEnd = request.find('>', at);
    std::string_view tag =
        request.substr(at, tagEnd == std::string_view::npos ? request.npos : tagEnd - at);
    for (std::size_t n = tag.find("name"); n != std::string_view::npos;
         n = tag.find("name", n + 1)) {
        if (n == 0 ||
            !(tag[n - 1] == ' ' || tag[n - 1] == '\t' || tag[n - 1] == '\n' || tag[n - 1] == '\r'))
            continue;
        std::size_t i = n + 4;
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\''))
            continue;
        char quote = tag[i++];
        std::size_t end = tag.find(quote, i);
        if (end == std::string_view::npos)
            return {};
        return decodeEntities(tag.substr(i, end - i));
    }
    return {};
}

std::optional<std::string> firstStringArgument(std::string_view request) {
    std::size_t at = findStartTag(request, "arguments", 0);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::size_t open = request.find('>', at);
    if (open == std::string_view::npos || request[open - 1] == '/')
        return std::nullopt;
    std::string_view rest = request.substr(open + 1);
    if (rest.starts_with("<string/>"))
        return std::string();
    if (!rest.starts_with("<string>"))
        return std::nullopt;
    rest.remove_prefix(8);
    std::size_t end = rest.find("</string>");
    if (end == std::string_view::npos)
        return std::nullopt;
    return decodeEntities(rest.substr(0, end));
}

bool parseValue(std::string_view text, std::size_t& pos, std::string& xml, std::string& error) {
    return parseValueAt(text, pos, xml, error, 0);
}

bool buildRequest(std::string_view name, std::string_view args, std::string& request,
                  std::string& error) {
    std::string values;
    std::size_t pos = 0;
    for (;;) {
        skipSeparators(args, pos);
        if (pos >= args.size())
            break;
        if (!parseValue(args, pos, values, error))
            return false;
        if (pos < args.size() && !isSpace(args[pos]) && args[pos] != ',') {
            error = std::string("unexpected '") + args[pos] + "' after a value";
            return false;
        }
    }
    request = "<invoke name=\"" + encodeEntities(name) + "\" returntype=\"xml\">";
    request += values.empty() ? "<arguments/>" : "<arguments>" + values + "</arguments>";
    request += "</invoke>";
    return true;
}

ParseResult parse(std::string_view bytes) {
    ParseResult result;
    auto fail = [&](int line, const std::string& message) {
        result.error = "line " + std::to_string(line) + ": " + message;
        return result;
    };
    if (bytes.empty()) {
        result.error = "the file is empty";
        return result;
    }
    if (bytes.size() >= 3 && (bytes.substr(0, 3) == "FWS" || bytes.substr(0, 3) == "CWS" ||
                              bytes.substr(0, 3) == "ZWS")) {
        result.error = "a Flash (SWF) file, not a movie of ours";
        return result;
    }
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (bytes.find('\0') != std::string_view::npos) {
        result.error = "not a movie of ours (binary data)";
        return result;
    }

    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || trim(lines[0]) != kMagic) {
        result.error =
            "not a movie of ours (the first line is not \"" + std::string(kMagic) + "\")";
        return result;
    }

    Movie movie;
    std::vector<std::size_t> openRepeats;
    std::map<std::string, std::size_t, std::less<>> labels;
    std::vector<std::pair<std::size_t, std::string>> gotos; // step index, label
    auto noArgs = [](std::string_view rest) { return rest.empty(); };

    for (std::size_t i = 1; i < lines.size(); ++i) {
        const int line = static_cast<int>(i + 1);
        std::string_view rest = trim(lines[i]);
        if (rest.empty() || rest.front() == '#')
            continue;
        std::string_view keyword = firstWord(rest);
        Step step;
        step.line = line;
        if (keyword == "title" || keyword == "status" || keyword == "progress" ||
            keyword == "expect" || keyword == "raw" || keyword == "fail") {
            step.op = keyword == "title"      ? Op::Title
                      : keyword == "status"   ? Op::Status
                      : keyword == "progress" ? Op::Progress
                      : keyword == "expect"   ? Op::Expect
                      : keyword == "raw"      ? Op::Raw
                                              : Op::Fail;
            step.text = rest;
        } else if (keyword == "bar") {
            std::int64_t v = 0;
            if (!parseInt(rest, v) || v < 0 || v > 100)
                return fail(line, "bar takes a whole number from 0 to 100");
            step.op = Op::Bar;
            step.count = v;
        } else if (keyword == "call") {
            std::string_view name = firstWord(rest);
            if (name.empty())
                return fail(line, "call needs a function name");
            std::string error;
            step.op = Op::Call;
            step.name = name;
            if (!buildRequest(name, rest, step.text, error))
                return fail(line, error);
        } else if (keyword == "answer") {
            std::string_view name = firstWord(rest);
            if (name.empty())
                return fail(line, "answer needs a function name (or *)");
            step.op = Op::Answer;
            step.name = name;
            step.text = rest;
        } else if (keyword == "wait") {
            auto ws = words(rest);
            step.op = Op::Wait;
            step.seconds = 30;
            if (ws.size() >= 2 && ws[ws.size() - 2] == "timeout") {
                if (!parseSeconds(ws.back(), step.seconds))
                    return fail(line, "timeout takes seconds from 0 to 3600");
                ws.resize(ws.size() - 2);
            }
            if (ws.empty())
                return fail(line, "wait needs at least one function name");
            for (auto w : ws) {
                std::size_t eq = w.find('=');
                std::string name(w.substr(0, eq));
                std::string label(eq == w.npos ? std::string_view() : w.substr(eq + 1));
                if (name.empty() || (eq != w.npos && label.empty()))
                    return fail(line,
                                "wait takes NAME or NAME=LABEL, not \"" + std::string(w) + "\"");
                if (!label.empty())
                    gotos.emplace_back(movie.steps.size(), label);
                step.names.push_back(std::move(name));
                step.labels.push_back(std::move(label));
            }
        } else if (keyword == "fscommand") {
            std::string_view command = firstWord(rest);
            if (command.empty())
                return fail(line, "fscommand needs a command");
            step.op = Op::FsCommand;
            step.name = command;
            step.text = rest;
        } else if (keyword == "button") {
            step.op = Op::Button;
            step.seconds = -1;
            auto ws = words(rest);
            if (ws.size() >= 2 && ws[ws.size() - 2] == "autopress") {
                if (!parseSeconds(ws.back(), step.seconds))
                    return fail(line, "autopress takes seconds from 0 to 3600");
                std::size_t cut = rest.rfind("autopress");
                rest = trim(rest.substr(0, cut));
            }
            if (rest.empty())
                return fail(line, "button needs a label");
            step.text = rest;
        } else if (keyword == "drag") {
            auto ws = words(rest);
            std::int64_t dx = 0, dy = 0;
            if (ws.size() < 2 || ws.size() > 3 || !parseInt(ws[0], dx) || !parseInt(ws[1], dy) ||
                (ws.size() == 3 && ws[2] != "shift") || dx < -10000 || dx > 10000 || dy < -10000 ||
                dy > 10000)
                return fail(line, "drag takes DX DY in pixels and optionally shift");
            step.op = Op::Drag;
            step.dx = static_cast<int>(dx);
            step.dy = static_cast<int>(dy);
            step.flag = ws.size() == 3;
        } else if (keyword == "close" || keyword == "stop") {
            if (!noArgs(rest))
                return fail(line, std::string(keyword) + " takes nothing after it");
            step.op = keyword == "close" ? Op::Close : Op::Stop;
        } else if (keyword == "sleep") {
            if (!parseSeconds(rest, step.seconds))
                return fail(line, "sleep takes seconds from 0 to 3600");
            step.op = Op::Sleep;
        } else if (keyword == "repeat") {
            if (!parseInt(rest, step.count) || step.count < 0 || step.count > 1000000000)
                return fail(line, "repeat takes a count from 0 to 1000000000");
            step.op = Op::RepeatBegin;
            openRepeats.push_back(movie.steps.size());
        } else if (keyword == "end") {
            if (!noArgs(rest))
                return fail(line, "end takes nothing after it");
            if (openRepeats.empty())
                return fail(line, "end without repeat");
            step.op = Op::RepeatEnd;
            step.target = openRepeats.back();
            movie.steps[openRepeats.back()].target = movie.steps.size();
            openRepeats.pop_back();
        } else if (keyword == "label") {
            auto ws = words(rest);
            if (ws.size() != 1)
                return fail(line, "label takes one name");
            if (!openRepeats.empty())
                return fail(line, "a label cannot be inside repeat");
            if (!labels.emplace(std::string(ws[0]), movie.steps.size()).second)
                return fail(line, "label \"" + std::string(ws[0]) + "\" is defined twice");
            step.op = Op::Label;
            step.name = ws[0];
        } else if (keyword == "goto") {
            auto ws = words(rest);
            if (ws.size() != 1)
                return fail(line, "goto takes one label");
            step.op = Op::Goto;
            step.name = ws[0];
            gotos.emplace_back(movie.steps.size(), step.name);
        } else {
            return fail(line, "unknown command \"" + std::string(keyword) + "\"");
        }
        movie.steps.push_back(std::move(step));
    }
    if (!openRepeats.empty())
        return fail(movie.steps[openRepeats.back()].line, "repeat without end");
    for (const auto& [index, label] : gotos) {
        if (labels.find(label) == labels.end())
            return fail(movie.steps[index].line, "no label \"" + label + "\"");
    }
    for (auto& step : movie.steps) {
        if (step.op == Op::Goto)
            step.target = labels.find(step.name)->second;
        if (step.op == Op::Wait)
            for (const auto& label : step.labels)
                step.targets.push_back(label.empty() ? 0 : labels.find(label)->second);
    }
    result.movie = std::move(movie);
    return result;
}

} // namespace player::movie
