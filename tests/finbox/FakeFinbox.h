// Loads the library double through the real loader and reaches its test controls.
#pragma once

#include "finboxdynamic.h"
#include "runtime/win32/WinText.h"
#include "support/win32/TestPaths.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<char> readImage(const std::string& linuxPath) {
    std::ifstream in(wineVisible(linuxPath), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + linuxPath);
    }
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

class FakeFinbox {
public:
    FakeFinbox() {
        const std::vector<char> image = readImage(FAKE_FINBOX_DLL);
        finboxdynamic::initialiseFromImage(image.data(), image.size());
        module_ = GetModuleHandleW(runtime::win32::widen(finboxdynamic::libraryPath()).c_str());
    }
    ~FakeFinbox() { finboxdynamic::cleanUp(); }
    FakeFinbox(const FakeFinbox&) = delete;
    FakeFinbox& operator=(const FakeFinbox&) = delete;

    template <class F> F control(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    // The movie's call: the host's reply, or "(no reply)" when it set none.
    std::string call(HWND window, const std::string& request) const {
        char out[4096] = {};
        const auto f = control<BOOL(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD)>("FakeFinbox_Call");
        return f(window, request.c_str(), out, sizeof out) ? std::string(out) : "(no reply)";
    }
    void fsCommand(HWND window, const char* command, const char* args) const {
        control<void(WINAPI*)(HWND, LPCSTR, LPCSTR)>("FakeFinbox_FSCommand")(window, command, args);
    }
    void setAnswer(const std::string& text) const {
        control<void(WINAPI*)(LPCSTR)>("FakeFinbox_SetAnswer")(text.c_str());
    }
    std::string lastRequest() const {
        char out[4096] = {};
        control<void(WINAPI*)(LPSTR, DWORD)>("FakeFinbox_LastRequest")(out, sizeof out);
        return out;
    }
    void setFlash(bool installed, DWORD version) const {
        control<void(WINAPI*)(BOOL, DWORD)>("FakeFinbox_SetFlash")(installed ? TRUE : FALSE,
                                                                   version);
    }
    std::pair<std::string, std::string> movie() const {
        char path[1024] = {}, access[64] = {};
        control<void(WINAPI*)(LPSTR, DWORD, LPSTR, DWORD)>("FakeFinbox_Movie")(
            path, sizeof path, access, sizeof access);
        return {path, access};
    }

private:
    HMODULE module_ = nullptr;
};

} // namespace testing_support
