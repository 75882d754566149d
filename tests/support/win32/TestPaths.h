// Helpers for Windows tests that share files with the Linux side of the build and set
// environment variables for the programs they start (tests only).
#pragma once

#include "runtime/win32/WinText.h"

#include <windows.h>

#include <optional>
#include <string>

namespace testing_support {

// A Linux path as a program under Wine sees it, through the Z: drive.
inline std::string wineVisible(const std::string& linuxPath) {
    std::string out = "Z:" + linuxPath;
    for (char& c : out) {
        if (c == '/') {
            c = '\\';
        }
    }
    return out;
}

// Sets a variable of this process's environment, which started programs inherit,
// for the lifetime of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::string& value) : name_(name) {
        const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
        if (size > 0) {
            std::wstring old(size, L'\0');
            old.resize(GetEnvironmentVariableW(name, old.data(), size));
            old_ = old;
        }
        SetEnvironmentVariableW(name, runtime::win32::widen(value).c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, old_ ? old_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const wchar_t* name_;
    std::optional<std::wstring> old_;
};

} // namespace testing_support
