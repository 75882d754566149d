#include "runtime/Uri.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <vector>

namespace runtime {

namespace {

// The URL goes into the message with control and non-ASCII bytes spelled out, so a
// garbled URL cannot garble the log line that reports it.
[[noreturn]] void fail(std::string_view text, std::string_view why) {
    std::string shown;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f) {
            static constexpr char hex[] = "0123456789abcdef";
            shown += "\\x";
            shown += hex[u >> 4];
            shown += hex[u & 0xf];
        } else {
            shown += c;
        }
    }
    throw Exception(format("Invalid URL \"{}\": {}", shown, why));
}

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char toLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (toLower(a[i]) != toLower(b[i])) {
            return false;
        }
    }
    return true;
}

// A request line cannot carry spaces or control characters, and we do not guess an
// encoding for other bytes: such text was never meant as a URL we can send.
void checkCharacters(std::string_view text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            fail(text, "it contains a space, control or non-ASCII character");
        }
    }
}

// The length of a scheme followed by ':' at the start of `text`, or 0 when `text`
// has none (then it is a relative reference).
std::size_t schemeLength(std::string_view text) {
    if (text.empty() || !isAlpha(text[0])) {
        return 0;
    }
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':') {
            return i;
        }
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') {
            return 0;
        }
    }
    return 0;
}

void checkHost(std::string_view text, std::string_view host) {
    if (host.empty()) {
        fail(text, "it has no host");
    }
    bool numeric = true;
    for (char c : host) {
        if (!isAlpha(c) && !isDigit(c) && c != '-' && c != '.') {
            fail(text, "the host is neither a name nor an IPv4 address");
        }
        numeric = numeric && (isDigit(c) || c == '.');
    }
    if (host.front() == '.' || host.find("..") != std::string_view::npos) {
        fail(text, "the host name has an empty label");
    }
    if (!numeric) {
        return;
    }
    // Digits and dots only: a resolver would read it as an address, so it must be a
    // proper dotted quad rather than something like "1.2.3" or "300.1.1.1".
    int parts = 0;
    std::size_t start = 0;
    while (start <= host.size()) {
        std::size_t end = host.find('.', start);
        if (end == std::string_view::npos) {
            end = host.size();
        }
        const std::string_view part = host.substr(start, end - start);
        int value = 0;
        for (char c : part) {
            value = value * 10 + (c - '0');
            if (value > 255) {
                break;
            }
        }
        if (part.empty() || part.size() > 3 || value > 255) {
            fail(text, "the host is not a valid IPv4 address");
        }
        ++parts;
        start = end + 1;
    }
    if (parts != 4) {
        fail(text, "the host is not a valid IPv4 address");
    }
}

std::uint16_t parsePort(std::string_view text, std::string_view port) {
    if (port.empty()) {
        fail(text, "the port is empty");
    }
    unsigned long value = 0;
    for (char c : port) {
        if (!isDigit(c)) {
            fail(text, "the port is not a number");
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535) {
            fail(text, "the port is out of range");
        }
    }
    if (value == 0) {
        fail(text, "the port is out of range");
    }
    return static_cast<std::uint16_t>(value);
}

// Drops "." and ".." segments of an absolute path, as a browser does before it
// follows a relative redirect; ".." never climbs above the root.
std::string removeDotSegments(std::string_view path) {
    std::vector<std::string_view> out;
    bool trailingSlash = false;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view segment = path.substr(start, end - start);
        if (segment == ".") {
            trailingSlash = true;
        } else if (segment == "..") {
            if (!out.empty()) {
                out.pop_back();
            }
            trailingSlash = true;
        } else {
            out.push_back(segment);
            trailingSlash = false;
        }
        start = end + 1;
    }
    std::string result = "/";
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            result += '/';
        }
        result += out[i];
    }
    if (trailingSlash && !out.empty()) {
        result += '/';
    }
    return result;
}

} // namespace

Uri Uri::parse(std::string_view text) {
    checkCharacters(text);
    const std::size_t schemeEnd = schemeLength(text);
    if (schemeEnd == 0) {
        fail(text, "it is not an absolute URL");
    }
    if (!equalsIgnoreCase(text.substr(0, schemeEnd), "http")) {
        fail(text, "only the http scheme is supported");
    }
    std::string_view rest = text.substr(schemeEnd + 1);
    if (rest.substr(0, 2) != "//") {
        fail(text, "it has no host");
    }
    rest.remove_prefix(2);

    const std::size_t authorityEnd = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, authorityEnd);
    rest = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    if (authority.find('@') != std::string_view::npos) {
        fail(text, "user information is not supported");
    }

    Uri uri;
    const std::size_t colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    checkHost(text, host);
    uri.host_ = std::string(host);
    if (colon != std::string_view::npos) {
        uri.port_ = parsePort(text, authority.substr(colon + 1));
    }

    rest = rest.substr(0, rest.find('#'));
    const std::size_t question = rest.find('?');
    const std::string_view path = rest.substr(0, question);
    uri.path_ = path.empty() ? "/" : std::string(path);
    if (question != std::string_view::npos) {
        uri.hasQuery_ = true;
        uri.query_ = std::string(rest.substr(question + 1));
    }
    return uri;
}

std::string Uri::requestTarget() const {
    return hasQuery_ ? path_ + "?" + query_ : path_;
}

std::string Uri::authority() const {
    return port_ == 80 ? host_ : format("{}:{}", host_, port_);
}

std::string Uri::toString() const {
    return "http://" + authority() + requestTarget();
}

Uri Uri::resolve(std::string_view location) const {
    checkCharacters(location);
    location = location.substr(0, location.find('#'));
    if (schemeLength(location) != 0) {
        return parse(location);
    }
    if (location.substr(0, 2) == "//") {
        return parse("http:" + std::string(location));
    }
    if (location.empty()) {
        return *this;
    }

    const std::size_t question = location.find('?');
    const std::string_view refPath = location.substr(0, question);
    const std::string_view refQuery =
        question == std::string_view::npos ? std::string_view() : location.substr(question);

    std::string path;
    if (refPath.empty()) {
        path = path_;
    } else if (refPath.front() == '/') {
        path = removeDotSegments(refPath);
    } else {
        path = removeDotSegments(path_.substr(0, path_.rfind('/') + 1) + std::string(refPath));
    }
    // Going through parse() keeps one set of rules for what a valid URI is.
    return parse("http://" + authority() + path + std::string(refQuery));
}

} // namespace runtime
