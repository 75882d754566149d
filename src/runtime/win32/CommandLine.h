// Building a Win32 command line that the started program splits back into exactly the
// arguments given, as CommandLineToArgvW (and the C runtime's own parser) reads it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace runtime::win32 {

// One argument after the first, quoted only when it needs it. Backslashes are literal
// unless they come before a quote, so only those runs are doubled (and the run before
// the closing quote); quotes themselves are escaped. An empty argument becomes "".
inline std::wstring quoteArgument(std::wstring_view arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
        return std::wstring(arg);
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        out.push_back(c);
        backslashes = 0;
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

// The whole command line for `args`, args[0] being the program. The program name is
// parsed by other rules (backslashes are never escapes there, and it cannot hold a
// quote), so it is always put in quotes as it is.
inline std::wstring buildCommandLine(const std::vector<std::wstring>& args) {
    std::wstring line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i == 0) {
            line = L"\"" + args[0] + L"\"";
        } else {
            line.push_back(L' ');
            line += quoteArgument(args[i]);
        }
    }
    return line;
}

} // namespace runtime::win32
