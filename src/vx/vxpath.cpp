// The portable half of the well-known places: normalisation and file tests.
#include "vx/vxpath.h"

#include "runtime/Paths.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace vx::vxpath {

std::string normalise(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    std::string text(path);
    for (char& c : text) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::string prefix;
    std::size_t i = 0;
    if (text.rfind("//", 0) == 0) {
        prefix = "//";
        i = 2;
    } else if (text[0] == '/') {
        prefix = "/";
        i = 1;
    }
    std::vector<std::string> segments;
    std::size_t rooted = 0; // segments that ".." may not remove (a drive "C:")
    while (i <= text.size()) {
        std::size_t end = text.find('/', i);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string segment = text.substr(i, end - i);
        if (segment.empty() || segment == ".") {
            // skip
        } else if (segment == "..") {
            if (segments.size() > rooted && segments.back() != "..") {
                segments.pop_back();
            } else if (prefix.empty() && rooted == 0) {
                segments.push_back(segment);
            }
        } else {
            if (segments.empty() && prefix.empty() && segment.size() == 2 && segment[1] == ':') {
                rooted = 1;
            }
            segments.push_back(segment);
        }
        i = end + 1;
    }
    std::string out = prefix;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        if (k > 0) {
            out.push_back('/');
        }
        out += segments[k];
    }
    if (rooted == 1 && segments.size() == 1) {
        out.push_back('/'); // "C:/" rather than the drive-relative "C:"
    }
    if (out.empty()) {
        return prefix.empty() ? "." : prefix;
    }
    return out;
}

std::string join(std::string_view folder, std::string_view name) {
    if (folder.empty()) {
        return std::string(name);
    }
    std::string out(folder);
    if (out.back() != '/') {
        out.push_back('/');
    }
    out.append(name);
    return out;
}

std::string GetPythonFile(const std::string& script) {
    std::error_code error;
    const std::filesystem::path file = runtime::pathFromUtf8(script);
    if (std::filesystem::exists(file, error)) {
        return script;
    }
    const std::size_t slash = script.find_last_of("/\\");
    const std::size_t dot = script.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? script.substr(0, dot) : script) + ".pyc";
}

} // namespace vx::vxpath
