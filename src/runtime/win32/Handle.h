// Owners for Win32 resources. One move-only template, one traits type per kind of
// resource: the traits say which value is invalid and how to close, so a kernel
// HANDLE (null when invalid) cannot be mistaken for a file handle
// (INVALID_HANDLE_VALUE when invalid). Closing keeps the thread's last-error code,
// so an owner going out of scope on a failure path does not overwrite it.
#pragma once

#include <windows.h>

#include <utility>

namespace runtime::win32 {

template <class Traits> class Unique {
public:
    using value_type = typename Traits::value_type;

    Unique() noexcept : value_(Traits::invalid()) {}
    explicit Unique(value_type value) noexcept : value_(value) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : value_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~Unique() { reset(); }

    value_type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    value_type release() noexcept { return std::exchange(value_, Traits::invalid()); }

    void reset(value_type value = Traits::invalid()) noexcept {
        const value_type old = std::exchange(value_, value);
        if (old != Traits::invalid()) {
            const DWORD error = GetLastError();
            Traits::close(old);
            SetLastError(error);
        }
    }

private:
    value_type value_;
};

struct HandleTraits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};

struct FileHandleTraits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};

struct FindHandleTraits {
    using value_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};

struct KeyTraits {
    using value_type = HKEY;
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY h) noexcept { RegCloseKey(h); }
};

struct ModuleTraits {
    using value_type = HMODULE;
    static HMODULE invalid() noexcept { return nullptr; }
    static void close(HMODULE h) noexcept { FreeLibrary(h); }
};

struct MappedViewTraits {
    using value_type = void*;
    static void* invalid() noexcept { return nullptr; }
    static void close(void* view) noexcept { UnmapViewOfFile(view); }
};

using UniqueHandle = Unique<HandleTraits>;         // events, processes, threads, mappings
using UniqueFileHandle = Unique<FileHandleTraits>; // CreateFileW, pipes from CreateFile
using UniqueFindHandle = Unique<FindHandleTraits>;
using UniqueKey = Unique<KeyTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueMappedView = Unique<MappedViewTraits>;

} // namespace runtime::win32
