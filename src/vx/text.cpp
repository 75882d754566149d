#include "vx/text.h"

#include "runtime/Exception.h"

namespace vx::text {

std::string substitute(std::string_view text, const std::map<std::string, std::string>& variables,
                       bool lenient) {
    enum class State { Plain, AfterPercent, InName, AfterName };
    State state = State::Plain;
    std::string out;
    out.reserve(text.size());
    std::string name;
    for (const char c : text) {
        switch (state) {
        case State::Plain:
            if (c == '%') {
                state = State::AfterPercent;
            } else {
                out.push_back(c);
            }
            break;
        case State::AfterPercent:
            if (c == '(') {
                name.clear();
                state = State::InName;
            } else if (c == '%') {
                out.push_back('%');
                state = State::Plain;
            } else {
                throw runtime::Exception("");
            }
            break;
        case State::InName:
            if (c == ')') {
                state = State::AfterName;
            } else {
                name.push_back(c);
            }
            break;
        case State::AfterName:
            if (c != 's') {
                throw runtime::Exception("");
            }
            if (const auto it = variables.find(name); it != variables.end()) {
                out.append(it->second);
            } else if (!lenient) {
                throw runtime::Exception("");
            }
            state = State::Plain;
            break;
        }
    }
    if (state != State::Plain) {
        throw runtime::Exception("");
    }
    return out;
}

} // namespace vx::text
