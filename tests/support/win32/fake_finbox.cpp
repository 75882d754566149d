// A Flash control library double for unit tests: the ten entry points with their
// exact names, a plain window, and a few controls of its own (FakeFinbox_*) through
// which a test plays the movie: send a call or an FSCommand to the host's listener,
// set the movie's answer to the host's calls, read what the host asked.
//
// A call from the "movie" is a message sent to the window, so it reaches the host's
// subclassed procedure first and the listener runs on the window's thread, as with
// the real library. Host calls into the movie are answered on the calling thread.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

using Listener = LRESULT(WINAPI*)(HWND, LPARAM, NMHDR*);

constexpr UINT kCallMessage = WM_APP + 0x31;
constexpr UINT kCommandMessage = WM_APP + 0x32;

struct CallNotification {
    NMHDR header;
    LPCSTR request;
};
struct CommandNotification {
    NMHDR header;
    LPCSTR command;
    LPCSTR args;
};

std::mutex mutex;
Listener listener = nullptr;
LPARAM listenerValue = 0;
std::string reply;
bool replied = false;
std::string answer = "<null/>";
std::string lastRequest;
std::string movie;
std::string scriptAccess;
BOOL flashInstalled = TRUE;
DWORD flashVersion = 0x0A000000;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallMessage) {
        CallNotification n{{hwnd, 0, 0x13FB}, reinterpret_cast<LPCSTR>(lParam)};
        replied = false;
        if (listener) {
            listener(hwnd, listenerValue, &n.header);
        }
        return replied ? 1 : 0;
    }
    if (message == kCommandMessage) {
        const auto* pair = reinterpret_cast<const LPCSTR*>(lParam);
        CommandNotification n{{hwnd, 0, 0x12FE}, pair[0], pair[1]};
        if (listener) {
            listener(hwnd, listenerValue, &n.header);
        }
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

FAKE_EXPORT BOOL WINAPI FPCIsFlashInstalled() {
    return flashInstalled;
}
FAKE_EXPORT DWORD WINAPI GetInstalledFlashVersion() {
    return flashVersion;
}
FAKE_EXPORT void* WINAPI FPC_LoadRegisteredOCX() {
    return reinterpret_cast<void*>(1);
}

FAKE_EXPORT HWND WINAPI FPC_CreateWindowA(void*, DWORD exStyle, LPCSTR title, DWORD style, int x,
                                          int y, int w, int h, HWND parent, HMENU menu, HINSTANCE,
                                          LPVOID param) {
    static const ATOM atom = [] {
        WNDCLASSA c{};
        c.lpfnWndProc = windowProc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "FakeFinboxPlayer";
        return RegisterClassA(&c);
    }();
    (void)atom;
    // The layered bit needs attributes before anything shows; a test double draws
    // nothing, so it keeps the window plain.
    return CreateWindowExA(exStyle & ~static_cast<DWORD>(WS_EX_LAYERED), "FakeFinboxPlayer", title,
                           style & ~1u, x, y, w, h, parent, menu, GetModuleHandleA(nullptr), param);
}

FAKE_EXPORT BOOL WINAPI FPC_SetContext(HWND, LPCSTR) {
    return TRUE;
}

FAKE_EXPORT BOOL WINAPI FPCSetEventListener(HWND, Listener l, LPARAM value) {
    listener = l;
    listenerValue = value;
    return TRUE;
}

FAKE_EXPORT BOOL WINAPI FPC_LoadMovieA(HWND, int, LPCSTR path) {
    movie = path ? path : "";
    return TRUE;
}

// The partial build lacks this one name, for the loader's failure path.
#ifndef FAKE_FINBOX_PARTIAL
FAKE_EXPORT BOOL WINAPI FPC_PutAllowScriptAccessA(HWND, LPCSTR value) {
    scriptAccess = value ? value : "";
    return TRUE;
}
#endif

FAKE_EXPORT BOOL WINAPI FPCSetReturnValueA(HWND, LPCSTR value) {
    reply = value ? value : "";
    replied = true;
    return TRUE;
}

FAKE_EXPORT BOOL WINAPI FPCCallFunctionA(HWND, LPCSTR request, LPSTR response, DWORD* length) {
    std::lock_guard<std::mutex> lock(mutex);
    lastRequest = request ? request : "";
    if (response == nullptr || length == nullptr || *length == 0) {
        return FALSE;
    }
    const std::size_t room = *length;
    const std::size_t n = answer.size() + 1 > room ? room - 1 : answer.size();
    std::memcpy(response, answer.data(), n);
    response[n] = '\0';
    *length = static_cast<DWORD>(n + 1);
    return TRUE;
}

// --- the test's controls ------------------------------------------------------------

// Sends `request` as the movie's call and copies the host's reply (cut to `size`).
// Returns FALSE when the host set no reply.
FAKE_EXPORT BOOL WINAPI FakeFinbox_Call(HWND hwnd, LPCSTR request, LPSTR out, DWORD size) {
    const LRESULT got = SendMessageA(hwnd, kCallMessage, 0, reinterpret_cast<LPARAM>(request));
    if (out && size) {
        const std::size_t n = reply.size() < size ? reply.size() : size - 1;
        std::memcpy(out, reply.data(), n);
        out[n] = '\0';
    }
    return got ? TRUE : FALSE;
}

FAKE_EXPORT void WINAPI FakeFinbox_FSCommand(HWND hwnd, LPCSTR command, LPCSTR args) {
    const LPCSTR pair[2] = {command, args};
    SendMessageA(hwnd, kCommandMessage, 0, reinterpret_cast<LPARAM>(pair));
}

FAKE_EXPORT void WINAPI FakeFinbox_SetAnswer(LPCSTR text) {
    std::lock_guard<std::mutex> lock(mutex);
    answer = text ? text : "";
}

// Copies the last request of FPCCallFunctionA (cut to `size`).
FAKE_EXPORT void WINAPI FakeFinbox_LastRequest(LPSTR out, DWORD size) {
    std::lock_guard<std::mutex> lock(mutex);
    const std::size_t n = lastRequest.size() < size ? lastRequest.size() : size - 1;
    std::memcpy(out, lastRequest.data(), n);
    out[n] = '\0';
}

FAKE_EXPORT void WINAPI FakeFinbox_SetFlash(BOOL installed, DWORD version) {
    flashInstalled = installed;
    flashVersion = version;
}

// What the host asked the library to play, and with which script access.
FAKE_EXPORT void WINAPI FakeFinbox_Movie(LPSTR out, DWORD size, LPSTR access, DWORD accessSize) {
    lstrcpynA(out, movie.c_str(), static_cast<int>(size));
    lstrcpynA(access, scriptAccess.c_str(), static_cast<int>(accessSize));
}
