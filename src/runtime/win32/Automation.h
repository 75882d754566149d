// Owners for the OLE Automation values: BSTR (SysFreeString) and VARIANT
// (VariantClear), and the UTF-8 conversions of BSTR text. Like the handle owners,
// closing keeps the thread's last-error code.
#pragma once

#include "runtime/win32/Handle.h"
#include "runtime/win32/WinText.h"

#include <oleauto.h>

#include <new>
#include <string>
#include <string_view>

namespace runtime::win32 {

struct BstrTraits {
    using value_type = BSTR;
    static BSTR invalid() noexcept { return nullptr; }
    static void close(BSTR text) noexcept { SysFreeString(text); }
};

using UniqueBstr = Unique<BstrTraits>;

// A new BSTR with the UTF-16 form of `text`. Throws std::bad_alloc.
inline UniqueBstr makeBstr(std::string_view text) {
    const std::wstring wide = widen(text);
    UniqueBstr out(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    if (!out) {
        throw std::bad_alloc();
    }
    return out;
}

// The UTF-8 form of a BSTR's whole length (a null BSTR is the empty text).
inline std::string bstrToUtf8(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    return narrow(std::wstring_view(text, SysStringLen(text)));
}

// Owns what a VARIANT holds; starts as VT_EMPTY.
class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : value_(other.release()) {}
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            reset();
            value_ = other.release();
        }
        return *this;
    }
    ~UniqueVariant() { reset(); }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARIANT* operator->() noexcept { return &value_; }
    const VARIANT* operator->() const noexcept { return &value_; }

    // Hands what it holds to the caller and is VT_EMPTY again.
    VARIANT release() noexcept {
        VARIANT out = value_;
        VariantInit(&value_);
        return out;
    }

    // Frees what it holds; VT_EMPTY again.
    void reset() noexcept {
        const DWORD error = GetLastError();
        VariantClear(&value_);
        SetLastError(error);
    }

private:
    VARIANT value_;
};

} // namespace runtime::win32
