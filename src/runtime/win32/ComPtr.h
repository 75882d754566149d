// An owner for one COM reference: Release when it goes, AddRef when it is copied.
#pragma once

#include <unknwn.h>

#include <utility>

namespace runtime::win32 {

template <class T> class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over the reference the caller holds on `owned`.
    explicit ComPtr(T* owned) noexcept : pointer_(owned) {}
    ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) {
        if (pointer_ != nullptr) {
            pointer_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : pointer_(other.detach()) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // Drops the reference held and returns the slot for an out-parameter.
    T** put() noexcept {
        reset();
        return &pointer_;
    }

    // Hands the reference to the caller.
    T* detach() noexcept { return std::exchange(pointer_, nullptr); }

    void reset(T* owned = nullptr) noexcept {
        if (T* old = std::exchange(pointer_, owned)) {
            old->Release();
        }
    }

private:
    T* pointer_ = nullptr;
};

} // namespace runtime::win32
