// What every stand-in does first: note how it was asked to run, for the tests.
//
// One line per run is appended to "<program>.record" beside the program: the working
// folder, a tab, and the whole command line as the program received it (UTF-8).
#pragma once

#include <windows.h>

#include <string>

namespace standin {

inline std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

inline std::wstring ownPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

inline void record() {
    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    const std::string line = utf8(folder) + "\t" + utf8(GetCommandLineW()) + "\n";
    std::wstring path = ownPath();
    const std::size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos && dot > path.find_last_of(L"\\/") + 1) {
        path.resize(dot);
    }
    path += L".record";
    // Several runs may append at once (two installs side by side).
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
}

} // namespace standin
