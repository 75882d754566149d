#include "FinboxWindow.h"

#include "external/ExternalInterfaceCall.h"
#include "external/ExternalInterfaceSerializer.h"
#include "finboxdynamic.h"
#include "runtime/Strings.h"
#include "runtime/Thread.h"
#include "tulip/TulipNamespace.h"
#include "vx/logger.h"

#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace {

using vx::logger::info;

// Any fixed GUID text will do; the library only keeps it.
constexpr const char* kContext = "5b0c3f6e-2d1a-4c7e-9a84-61f0d2b9e3a7";
constexpr DWORD kExStyle = 0x000C0000; // WS_EX_APPWINDOW | WS_EX_LAYERED
constexpr DWORD kStyle = 0x80080001;   // WS_POPUP | WS_SYSMENU | the library's own bit
constexpr UINT kMoveFlags = SWP_NOSIZE | SWP_NOOWNERZORDER;
constexpr std::size_t kResponseBuffer = 1024;

// Written while a window is constructed or destroyed, read by the window procedure
// and the listener; all on the window's thread, guarded all the same.
std::mutex windowsMutex;
std::map<HWND, FinboxWindow*> windowsByHandle;
WNDPROC previousWindowProc = nullptr;

// Asks the window's thread to bring the Close item in line with the close flag.
UINT closeStateMessage() {
    static const UINT message = RegisterWindowMessageW(L"Brivola.FinboxWindow.CloseState");
    return message;
}

std::string nullReply() {
    return external::serializeReturn(vx::Variant());
}

#ifdef BRIVOLA_TEST_SEAMS
// Test builds only (BRIVOLA_TEST_SEAMS), names under "brivola.test.":
//   DoCallback (function name, arguments...): calls back into the movie from a thread
//       of its own, as an install worker does, and answers null at once; it lets the
//       tests drive "OnComplete" without the install engine.
//   IsCloseItemGrayed: whether the Close item of the window's system menu is grayed.
class CallbackThread : public runtime::Thread {
public:
    CallbackThread(FinboxWindow& window, std::string name, vx::Variant::List args)
        : window_(window), name_(std::move(name)), args_(std::move(args)) {}

protected:
    void run() override { window_.DoCallback(name_, args_); }

private:
    FinboxWindow& window_;
    std::string name_;
    vx::Variant::List args_;
};

std::optional<vx::Variant> testSeam(FinboxWindow& window,
                                    const external::ExternalInterfaceCall& call) {
    const std::string& name = call.getFunctionName();
    const vx::Variant::List& args = call.getArguments();
    if (name == "brivola.test.DoCallback") {
        if (!args.empty() && args.front().is(vx::Variant::Kind::String)) {
            std::make_shared<CallbackThread>(window, args.front().asString(),
                                             vx::Variant::List(args.begin() + 1, args.end()))
                ->start();
        }
        return vx::Variant();
    }
    if (name == "brivola.test.IsCloseItemGrayed") {
        MENUITEMINFOA item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STATE;
        GetMenuItemInfoA(GetSystemMenu(window.handle(), FALSE), SC_CLOSE, FALSE, &item);
        return vx::Variant((item.fState & MFS_GRAYED) == MFS_GRAYED);
    }
    return std::nullopt;
}
#endif

} // namespace

FinboxWindow::FinboxWindow(const std::string& moviePath, const std::string& title,
                           std::int32_t width, std::int32_t height, const std::string& iconName) {
    const finboxdynamic::EntryPoints& fpc = finboxdynamic::entryPoints();
    const finboxdynamic::HFPC instance = fpc.FPC_LoadRegisteredOCX();
    hwnd_ = fpc.FPC_CreateWindowA(instance, kExStyle, title.c_str(), kStyle, 0, 0, width, height,
                                  nullptr, nullptr, nullptr, nullptr);
    fpc.FPC_SetContext(hwnd_, kContext);
    fpc.FPCSetEventListener(hwnd_, &FinboxWindow::listener, 0);
    info("Appwindow HWND: {}", reinterpret_cast<std::intptr_t>(hwnd_));
    {
        std::lock_guard<std::mutex> lock(windowsMutex);
        windowsByHandle[hwnd_] = this;
    }
    moving_ = false;

    info("About to setup WinProc");
    const LONG_PTR previous = SetWindowLongPtrA(
        hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FinboxWindow::windowProc));
    {
        std::lock_guard<std::mutex> lock(windowsMutex);
        previousWindowProc = reinterpret_cast<WNDPROC>(previous);
    }
    info("OldWinProcPtr: {}", static_cast<std::intptr_t>(previous));
    info("Finished setting up WinProc");

    fpc.FPC_LoadMovieA(hwnd_, 0, moviePath.c_str());
    fpc.FPC_PutAllowScriptAccessA(hwnd_, "always");

    const HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), iconName.c_str(), IMAGE_ICON, 0, 0,
                                   LR_DEFAULTSIZE | LR_LOADTRANSPARENT);
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    info("{}, {}, {}, {}, ", desktop.left, desktop.right, desktop.top, desktop.bottom);
    SetWindowPos(hwnd_, nullptr, (desktop.right - width) / 2, (desktop.bottom - height) / 2, 0, 0,
                 kMoveFlags);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
}

FinboxWindow::~FinboxWindow() {
    std::lock_guard<std::mutex> lock(windowsMutex);
    for (auto it = windowsByHandle.begin(); it != windowsByHandle.end();) {
        it = it->second == this ? windowsByHandle.erase(it) : std::next(it);
    }
}

void FinboxWindow::destroy() {
    if (IsWindow(hwnd_)) {
        DestroyWindow(hwnd_);
    }
}

void FinboxWindow::setApplication(std::shared_ptr<vx::application::IVXApplication> app) {
    std::lock_guard<std::mutex> lock(applicationMutex_);
    application_ = std::move(app);
}

std::shared_ptr<vx::application::IVXApplication> FinboxWindow::getApplication() const {
    std::lock_guard<std::mutex> lock(applicationMutex_);
    return application_;
}

FinboxWindow* FinboxWindow::find(HWND hwnd) {
    std::lock_guard<std::mutex> lock(windowsMutex);
    const auto it = windowsByHandle.find(hwnd);
    return it == windowsByHandle.end() ? nullptr : it->second;
}

LRESULT CALLBACK FinboxWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC previous;
    {
        std::lock_guard<std::mutex> lock(windowsMutex);
        previous = previousWindowProc;
    }
    FinboxWindow* window = find(hwnd);
    if (window == nullptr) {
        return CallWindowProcA(previous, hwnd, message, wParam, lParam);
    }
    switch (message) {
    case WM_MOUSEMOVE:
        window->onMouseMove(static_cast<std::int16_t>(LOWORD(lParam)),
                            static_cast<std::int16_t>(HIWORD(lParam)),
                            static_cast<std::int32_t>(wParam));
        break;
    case WM_LBUTTONUP:
        window->onLeftButtonUp();
        break;
    case WM_CLOSE:
        if (!window->isCloseEnabled()) {
            info("Alt+F4 used during install ... ignoring");
            return 0;
        }
        info("Alt+F4 used ... application exiting");
        PostQuitMessage(0);
        break;
    case WM_NCDESTROY: {
        // The handle may be reused once the window is gone.
        std::lock_guard<std::mutex> lock(windowsMutex);
        windowsByHandle.erase(hwnd);
        break;
    }
    default:
        if (message == closeStateMessage()) {
            window->applyCloseState();
            return 0;
        }
        break;
    }
    return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

LRESULT WINAPI FinboxWindow::listener(HWND hwnd, LPARAM, NMHDR* notification) {
    if (notification == nullptr) {
        return 0;
    }
    FinboxWindow* window = find(notification->hwndFrom ? notification->hwndFrom : hwnd);
    if (window == nullptr) {
        return 0;
    }
    if (notification->code == finboxdynamic::kExternalInterfaceCall) {
        const auto* call =
            reinterpret_cast<const finboxdynamic::ExternalInterfaceNotification*>(notification);
        const std::string reply = window->answerCall(call->request);
        finboxdynamic::entryPoints().FPCSetReturnValueA(window->hwnd_, reply.c_str());
    } else if (notification->code == finboxdynamic::kFSCommand) {
        const auto* command =
            reinterpret_cast<const finboxdynamic::FSCommandNotification*>(notification);
        window->onFSCommand(command->command);
    }
    return 0;
}

std::string FinboxWindow::answerCall(const char* request) {
    try {
        info("Got a Flash Call");
        const std::string text = request ? request : "";
        info("{}", text);
        std::optional<external::ExternalInterfaceCall> call;
        try {
            call.emplace(external::deserializeCall(text));
        } catch (const std::exception& e) {
            // The movie's call must not hang on a request we cannot read.
            info("Caught an Exception decoding a Flash call and now returning null: {}",
                 std::string(e.what()));
            return nullReply();
        }
        info("{}", call->toString());
        const std::string& name = call->getFunctionName();
        if (name == "tulip.vxcore.install.DoMetaInstall") {
            setCloseEnabled(false);
        }
#ifdef BRIVOLA_TEST_SEAMS
        if (const std::optional<vx::Variant> seam = testSeam(*this, *call)) {
            return external::serializeReturn(*seam);
        }
#endif
        const std::shared_ptr<vx::application::IVXApplication> application = getApplication();
        if (!application) {
            info("A Flash call arrived before the application object was registered; returning "
                 "null");
            return nullReply();
        }
        // A fresh tree for every call, dropped as soon as the call is answered.
        const std::vector<std::string> path = runtime::split(name, '.');
        vx::Variant result;
        {
            const tulip::TulipNamespace root(application);
            result = root.callPath(path, call->getArguments());
        }
        return external::serializeReturn(result);
    } catch (const std::exception& e) {
        info("Caught an Exception answering a Flash call and now returning null: {}",
             std::string(e.what()));
    } catch (...) {
        info("Caught an Exception answering a Flash call and now returning null");
    }
    try {
        return nullReply();
    } catch (...) {
        return "<null/>";
    }
}

void FinboxWindow::onFSCommand(const char* command) {
    info("Got an FSCommand");
    if (command == nullptr) {
        return;
    }
    if (std::strcmp(command, "quit") == 0 || std::strcmp(command, "QUIT") == 0) {
        info("Got a Quit Command");
        PostQuitMessage(0);
    }
}

vx::Variant FinboxWindow::DoCallback(const std::string& functionName,
                                     const vx::Variant::List& args) {
    info("In DoCallback for FINBOX code");
    const std::string request = external::serializeCall(functionName, args);
    info("{}", request);
    std::vector<char> response(kResponseBuffer, '\0');
    DWORD length = kResponseBuffer - 1;
    finboxdynamic::entryPoints().FPCCallFunctionA(hwnd_, request.c_str(), response.data(), &length);
    if (functionName == "OnComplete" && !args.empty() &&
        args.front().is(vx::Variant::Kind::String) && args.front().asString() == "Installed") {
        setCloseEnabled(true);
    }
    const std::size_t size =
        length == 0 ? 0 : std::min<std::size_t>(length - 1, kResponseBuffer - 1);
    return vx::Variant(std::string(response.data(), size));
}

void FinboxWindow::StartMove() {
    moving_ = true;
    RECT rect{};
    POINT cursor{};
    GetWindowRect(hwnd_, &rect);
    GetCursorPos(&cursor);
    dragOffsetX_ = cursor.x - rect.left;
    dragOffsetY_ = cursor.y - rect.top;
    SetCapture(hwnd_);
}

void FinboxWindow::StopMove() {
    moving_ = false;
    ReleaseCapture();
}

void FinboxWindow::onMouseMove(std::int32_t x, std::int32_t y, std::int32_t keyState) {
    if (moving_ && keyState == MK_LBUTTON) {
        RECT rect{};
        GetWindowRect(hwnd_, &rect);
        SetWindowPos(hwnd_, nullptr, x + rect.left - dragOffsetX_, y + rect.top - dragOffsetY_, 0,
                     0, kMoveFlags);
    } else {
        moving_ = false;
        ReleaseCapture();
    }
}

void FinboxWindow::onLeftButtonUp() {
    if (moving_) {
        moving_ = false;
        ReleaseCapture();
    }
}

void FinboxWindow::setCloseEnabled(bool enabled) {
    closeEnabled_.store(enabled);
    if (GetWindowThreadProcessId(hwnd_, nullptr) == GetCurrentThreadId()) {
        applyCloseState();
    } else {
        PostMessageW(hwnd_, closeStateMessage(), 0, 0);
    }
}

bool FinboxWindow::isCloseEnabled() const {
    return closeEnabled_.load();
}

void FinboxWindow::applyCloseState() {
    const bool enabled = closeEnabled_.load();
    const HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (menu == nullptr) {
        return;
    }
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    GetMenuItemInfoA(menu, SC_CLOSE, FALSE, &item);
    if (enabled) {
        info("Enabling the close menu");
        item.fState &= ~static_cast<UINT>(MFS_GRAYED);
    } else {
        info("Disabling the close menu");
        item.fState |= MFS_GRAYED;
    }
    SetMenuItemInfoA(menu, SC_CLOSE, FALSE, &item);
    DrawMenuBar(hwnd_);
}
