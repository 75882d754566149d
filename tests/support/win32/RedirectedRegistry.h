// Predefined registry keys redirected to empty scratch keys for a test's lifetime
// (tests only), so that the code under test reads and writes HKEY_LOCAL_MACHINE and
// the others without touching the prefix's own. The scratch keys live under
// HKEY_CURRENT_USER\Software\BrivolaTests\<name>-<process id>: ctest runs tests in
// parallel, a process each, and no process may empty another's keys.
#pragma once

#include "runtime/win32/Handle.h"

#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

class RedirectedRegistry {
public:
    RedirectedRegistry(const std::wstring& name, std::initializer_list<HKEY> roots)
        : path_(L"Software\\BrivolaTests\\" + name + L"-" + std::to_wstring(GetCurrentProcessId())),
          roots_(roots) {
        redirect();
    }
    ~RedirectedRegistry() { restore(); }
    RedirectedRegistry(const RedirectedRegistry&) = delete;
    RedirectedRegistry& operator=(const RedirectedRegistry&) = delete;

    // Every root stands for its own empty scratch key.
    bool ok() const { return ok_; }

    // Empties the scratch keys: the redirected roots are empty again.
    bool clear() {
        restore();
        redirect();
        return ok_;
    }

    // The scratch key that the i-th root stands for.
    HKEY scratch(std::size_t i = 0) const { return keys_.at(i).get(); }

private:
    void redirect() {
        // Left behind by an earlier process of the same id that did not finish.
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        ok_ = true;
        // All keys first: HKEY_CURRENT_USER itself may be one of the roots.
        for (std::size_t i = 0; i < roots_.size(); ++i) {
            const std::wstring sub = path_ + L"\\" + std::to_wstring(i);
            HKEY key = nullptr;
            ok_ = RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr) == ERROR_SUCCESS &&
                  ok_;
            keys_.emplace_back(key);
        }
        for (std::size_t i = 0; i < roots_.size() && ok_; ++i)
            ok_ = RegOverridePredefKey(roots_[i], keys_[i].get()) == ERROR_SUCCESS;
    }

    void restore() {
        for (HKEY root : roots_)
            RegOverridePredefKey(root, nullptr);
        keys_.clear();
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }

    std::wstring path_;
    std::vector<HKEY> roots_;
    std::vector<runtime::win32::UniqueKey> keys_;
    bool ok_ = false;
};

} // namespace testing_support
