// COM for the calling thread for the lifetime of the object: CoInitialize(NULL)
// on construction, the matching CoUninitialize on destruction when it succeeded.
#pragma once

#include <objbase.h>

namespace runtime::win32 {

class ComInit {
public:
    ComInit() noexcept : result_(CoInitialize(nullptr)) {}
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    ~ComInit() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

} // namespace runtime::win32
