#include "runtime/http/Response.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <algorithm>
#include <limits>

namespace runtime::http {

namespace {

constexpr std::int64_t maxInt64 = std::numeric_limits<std::int64_t>::max();

char toLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return toLower(x) == toLower(y);
           });
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7f;
}

// Header names are tokens: visible ASCII without separators.
bool isTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f) {
        return false;
    }
    return std::string_view("\"(),/:;<=>?@[\\]{}").find(c) == std::string_view::npos;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

enum class Number { Ok, Malformed, TooLarge };

// 1*DIGIT only: no sign, no blanks, no hex, so "-1", "+5" and "5 5" are malformed.
Number parseDecimal(std::string_view text, std::int64_t& value) {
    if (text.empty()) {
        return Number::Malformed;
    }
    value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return Number::Malformed;
        }
        const int digit = c - '0';
        if (value > (maxInt64 - digit) / 10) {
            return Number::TooLarge;
        }
        value = value * 10 + digit;
    }
    return Number::Ok;
}

// Server text in an error message: shortened, and with control bytes made visible so
// a garbage answer cannot garble the log.
std::string quote(std::string_view text) {
    constexpr std::size_t shown = 80;
    std::string out = "\"";
    for (char c : text.substr(0, shown)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f) {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 0xf];
        } else {
            out += c;
        }
    }
    out += text.size() > shown ? "\"..." : "\"";
    return out;
}

} // namespace

void Headers::add(std::string name, std::string value) {
    entries_.emplace_back(std::move(name), std::move(value));
}

const std::string* Headers::find(std::string_view name) const {
    for (const auto& [key, value] : entries_) {
        if (equalsIgnoreCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
}

std::vector<std::string> Headers::findAll(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : entries_) {
        if (equalsIgnoreCase(key, name)) {
            values.push_back(value);
        }
    }
    return values;
}

std::int64_t Headers::getInt(std::string_view name, std::int64_t defaultValue) const {
    const std::string* value = find(name);
    std::int64_t result = 0;
    if (value == nullptr || parseDecimal(*value, result) != Number::Ok) {
        return defaultValue;
    }
    return result;
}

void ResponseParser::fail(const std::string& message) {
    state_ = State::Failed;
    error_ = message;
    throw Exception(message);
}

bool ResponseParser::takeLine(std::string_view& bytes, std::size_t& used, const char* what) {
    const std::size_t newline = bytes.find('\n');
    const std::size_t take = newline == std::string_view::npos ? bytes.size() : newline + 1;
    if (used + take > maxHeadSize) {
        fail(format("The {} is larger than {} bytes", what, maxHeadSize));
    }
    used += take;
    line_.append(bytes.substr(0, newline == std::string_view::npos ? take : newline));
    bytes.remove_prefix(take);
    if (newline == std::string_view::npos) {
        return false;
    }
    // CRLF is the rule; a bare LF is accepted as many clients do.
    if (!line_.empty() && line_.back() == '\r') {
        line_.pop_back();
    }
    return true;
}

ResponseParser::Progress ResponseParser::feed(std::string_view bytes, std::string& body) {
    if (state_ == State::Failed) {
        throw Exception(error_);
    }
    while (!bytes.empty() && state_ != State::Done) {
        switch (state_) {
        case State::StatusLine:
            if (!takeLine(bytes, headBytes_, "response head")) {
                return Progress::NeedMore;
            }
            parseStatusLine();
            break;
        case State::HeaderLines:
            if (!takeLine(bytes, headBytes_, "response head")) {
                return Progress::NeedMore;
            }
            if (line_.empty()) {
                startBody();
            } else {
                parseHeaderLine();
            }
            break;
        case State::LengthBody:
        case State::ChunkData: {
            const auto take =
                static_cast<std::size_t>(std::min<std::int64_t>(remaining_, bytes.size()));
            body.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            remaining_ -= static_cast<std::int64_t>(take);
            received_ += static_cast<std::int64_t>(take);
            if (remaining_ == 0) {
                state_ = state_ == State::LengthBody ? State::Done : State::ChunkDataEnd;
            }
            break;
        }
        case State::ChunkSize:
            if (!takeLine(bytes, chunkLineBytes_, "chunk size line")) {
                return Progress::NeedMore;
            }
            chunkLineBytes_ = 0;
            parseChunkSize();
            break;
        case State::ChunkDataEnd:
            if (!takeLine(bytes, chunkLineBytes_, "chunk size line")) {
                return Progress::NeedMore;
            }
            chunkLineBytes_ = 0;
            if (!line_.empty()) {
                fail(format("Chunk data is longer than its size: {}", quote(line_)));
            }
            state_ = State::ChunkSize;
            break;
        case State::Trailers:
            // Trailers carry nothing we use; they are read only to find the end.
            if (!takeLine(bytes, trailerBytes_, "trailer block")) {
                return Progress::NeedMore;
            }
            if (line_.empty()) {
                state_ = State::Done;
            }
            break;
        case State::UntilClose:
            received_ += static_cast<std::int64_t>(bytes.size());
            body.append(bytes);
            bytes = {};
            break;
        case State::Done:
        case State::Failed:
            break;
        }
        line_.clear();
    }
    return state_ == State::Done ? Progress::Complete : Progress::NeedMore;
}

void ResponseParser::finish() {
    switch (state_) {
    case State::Failed:
        throw Exception(error_);
    case State::Done:
        return;
    case State::UntilClose:
        state_ = State::Done;
        return;
    case State::StatusLine:
        if (headBytes_ == 0) {
            fail("The connection closed before a response arrived");
        }
        [[fallthrough]];
    case State::HeaderLines:
        fail("The connection closed before the end of the response head");
    case State::LengthBody:
        fail(format("The connection closed after {} of {} body bytes", received_, contentLength_));
    case State::ChunkSize:
    case State::ChunkData:
    case State::ChunkDataEnd:
    case State::Trailers:
        fail(format("The connection closed inside a chunked body after {} body bytes", received_));
    }
}

void ResponseParser::parseStatusLine() {
    // HTTP/1.x SP 3DIGIT [SP reason]; servers that leave out the reason exist.
    const std::string_view line = line_;
    const bool shaped = line.size() >= 12 && line.substr(0, 7) == "HTTP/1." && isDigit(line[7]) &&
                        line[8] == ' ' && isDigit(line[9]) && isDigit(line[10]) &&
                        isDigit(line[11]) && (line.size() == 12 || line[12] == ' ');
    if (!shaped) {
        fail(format("Malformed status line {}", quote(line)));
    }
    status_ = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (status_ < 100 || status_ > 599) {
        fail(format("Status code out of range in {}", quote(line)));
    }
    const std::string_view reason = line.size() > 12 ? line.substr(13) : std::string_view();
    if (std::any_of(reason.begin(), reason.end(), isControl)) {
        fail(format("Control character in status line {}", quote(line)));
    }
    reason_ = std::string(reason);
    state_ = State::HeaderLines;
}

void ResponseParser::parseHeaderLine() {
    const std::string_view line = line_;
    if (std::any_of(line.begin(), line.end(), isControl)) {
        fail(format("Control character in header line {}", quote(line)));
    }
    if (isBlank(line.front())) {
        // An obsolete folded continuation: part of the previous value, joined by one space.
        if (headers_.entries_.empty()) {
            fail(format("Continuation line without a header: {}", quote(line)));
        }
        const std::string_view more = trim(line);
        std::string& value = headers_.entries_.back().second;
        if (!more.empty()) {
            if (!value.empty()) {
                value += ' ';
            }
            value += more;
        }
        return;
    }
    const std::size_t colon = line.find(':');
    const std::string_view name = line.substr(0, colon);
    if (colon == std::string_view::npos || name.empty() ||
        !std::all_of(name.begin(), name.end(), isTokenChar)) {
        fail(format("Malformed header line {}", quote(line)));
    }
    headers_.add(std::string(name), std::string(trim(line.substr(colon + 1))));
}

void ResponseParser::startBody() {
    if (status_ >= 100 && status_ < 200 && status_ != 101) {
        // An interim answer (100 Continue, 103 Early Hints): the real one follows. The
        // head cap keeps counting, so a stream of them cannot go on for ever.
        headers_ = Headers();
        reason_.clear();
        state_ = State::StatusLine;
        return;
    }
    chooseFraming();
    // Only a head whose framing we accept counts as read.
    headDone_ = true;
}

void ResponseParser::chooseFraming() {
    if (status_ < 200 || status_ == 204 || status_ == 304) {
        contentLength_ = 0;
        state_ = State::Done;
        return;
    }

    const std::vector<std::string> codings = headers_.findAll("Transfer-Encoding");
    if (!codings.empty()) {
        // We ask for no codings, so the only one we accept is chunked framing, which
        // must come last; a length beside it is ignored, as HTTP/1.1 says.
        std::vector<std::string_view> list;
        for (const std::string& value : codings) {
            std::string_view rest = value;
            while (true) {
                const std::size_t comma = rest.find(',');
                const std::string_view item = trim(rest.substr(0, comma));
                if (!item.empty()) {
                    list.push_back(item);
                }
                if (comma == std::string_view::npos) {
                    break;
                }
                rest.remove_prefix(comma + 1);
            }
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            const bool last = i + 1 == list.size();
            if (!(last && equalsIgnoreCase(list[i], "chunked")) &&
                !equalsIgnoreCase(list[i], "identity")) {
                fail(format("Unsupported transfer coding {}", quote(list[i])));
            }
        }
        if (!list.empty() && equalsIgnoreCase(list.back(), "chunked")) {
            state_ = State::ChunkSize;
            return;
        }
    }

    const std::vector<std::string> lengths = headers_.findAll("Content-Length");
    if (lengths.empty()) {
        state_ = State::UntilClose;
        return;
    }
    for (const std::string& text : lengths) {
        std::int64_t value = 0;
        switch (parseDecimal(text, value)) {
        case Number::Malformed:
            fail(format("Malformed Content-Length {}", quote(text)));
        case Number::TooLarge:
            fail(format("Content-Length {} is too large", quote(text)));
        case Number::Ok:
            break;
        }
        if (contentLength_ >= 0 && value != contentLength_) {
            fail(format("Conflicting Content-Length values {} and {}", contentLength_, value));
        }
        contentLength_ = value;
    }
    remaining_ = contentLength_;
    state_ = contentLength_ == 0 ? State::Done : State::LengthBody;
}

void ResponseParser::parseChunkSize() {
    const std::string_view line = line_;
    std::int64_t size = 0;
    std::size_t i = 0;
    for (; i < line.size(); ++i) {
        const char c = toLower(line[i]);
        int digit = 0;
        if (isDigit(c)) {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            break;
        }
        if (size > (maxInt64 - digit) / 16) {
            fail(format("Chunk size {} is too large", quote(line)));
        }
        size = size * 16 + digit;
    }
    // Blanks before an extension are tolerated; the extensions themselves mean nothing
    // to us.
    std::size_t j = i;
    while (j < line.size() && isBlank(line[j])) {
        ++j;
    }
    if (i == 0 || (j < line.size() && line[j] != ';')) {
        fail(format("Malformed chunk size line {}", quote(line)));
    }
    if (size == 0) {
        state_ = State::Trailers;
    } else {
        remaining_ = size;
        state_ = State::ChunkData;
    }
}

} // namespace runtime::http
