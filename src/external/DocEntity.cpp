#include "external/DocEntity.h"

#include <array>

namespace external {
namespace {

struct Entity {
    char character;
    std::string_view text;
};

constexpr std::array<Entity, 5> kEntities{{
    {'&', "&amp;"},
    {'\'', "&apos;"},
    {'>', "&gt;"},
    {'<', "&lt;"},
    {'"', "&quot;"},
}};

std::string_view entityFor(char c) noexcept {
    for (const Entity& e : kEntities) {
        if (e.character == c) {
            return e.text;
        }
    }
    return {};
}

} // namespace

std::string encodeEntities(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && entityFor(text[first]).empty()) {
        ++first;
    }
    if (first == text.size()) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() + text.size() / 2 + 8);
    out.append(text.substr(0, first));
    for (std::size_t i = first; i < text.size(); ++i) {
        const std::string_view entity = entityFor(text[i]);
        if (entity.empty()) {
            out.push_back(text[i]);
        } else {
            out.append(entity);
        }
    }
    return out;
}

std::string decodeEntities(std::string_view text) {
    std::size_t amp = text.find('&');
    if (amp == std::string_view::npos) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    while (amp != std::string_view::npos) {
        out.append(text.substr(from, amp - from));
        const std::string_view rest = text.substr(amp);
        std::size_t used = 1;
        char replacement = '&';
        for (const Entity& e : kEntities) {
            if (rest.substr(0, e.text.size()) == e.text) {
                replacement = e.character;
                used = e.text.size();
                break;
            }
        }
        out.push_back(replacement);
        from = amp + used;
        amp = text.find('&', from);
    }
    out.append(text.substr(from));
    return out;
}

} // namespace external
