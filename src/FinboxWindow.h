// The window in which the installer movie runs, and the bridge between the movie and
// the native side. The window itself is the Flash control's, made by the control
// library (finboxdynamic); this class subclasses its window procedure, answers the
// movie's calls through the tree of script names, obeys its quit command, calls into
// the movie for native code (DoCallback), lets the movie drag the borderless window
// and refuses to close while an installation runs.
//
// Threads: construction, the window procedure, the listener, StartMove/StopMove and
// the mouse handlers run on the thread that made the window (the main thread).
// DoCallback and setCloseEnabled may be called from any thread (install workers); the
// close flag is atomic and the system menu is always changed on the window's thread.
//
// Lifetime: owned by std::shared_ptr (the application's plug-in registry holds it).
// The object must outlive its window; the window is destroyed before the control
// library is unloaded (`destroy`).
#pragma once

#include "vx/application/ApplicationInterfaces.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class FinboxWindow : public vx::application::IApplicationWindow {
public:
    // Shows the window, centred on the desktop, playing `moviePath`. `iconName` is the
    // program's icon resource for the window's big icon. The control library must be
    // loaded.
    FinboxWindow(const std::string& moviePath, const std::string& title, std::int32_t width,
                 std::int32_t height, const std::string& iconName);
    ~FinboxWindow() override;
    FinboxWindow(const FinboxWindow&) = delete;
    FinboxWindow& operator=(const FinboxWindow&) = delete;

    void setApplication(std::shared_ptr<vx::application::IVXApplication> app) override;
    std::shared_ptr<vx::application::IVXApplication> getApplication() const override;

    // Calls `functionName` in the movie and returns the raw response text (at most 1023
    // bytes) as a string. Any thread; blocks until the movie has answered.
    vx::Variant DoCallback(const std::string& functionName, const vx::Variant::List& args) override;
    IApplicationWindow& getWindow() override { return *this; }
    void StartMove() override;
    void StopMove() override;

    virtual void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t keyState);
    virtual void onLeftButtonUp();
    // Stores the flag at once; the Close item of the system menu follows on the
    // window's thread (at once when called there).
    virtual void setCloseEnabled(bool enabled);
    virtual bool isCloseEnabled() const;

    HWND handle() const noexcept { return hwnd_; }
    // Destroys the window (window thread). Afterwards DoCallback answers what the
    // library answers for a window that is gone.
    void destroy();

    // The reply to one movie call request, as the listener hands it to the library.
    // Never throws: a request that cannot be decoded, or a call before the application
    // object is registered, gets the null reply.
    std::string answerCall(const char* request);
    // An FSCommand as the listener receives it.
    void onFSCommand(const char* command);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT WINAPI listener(HWND hwnd, LPARAM userValue, NMHDR* notification);
    static FinboxWindow* find(HWND hwnd);
    void applyCloseState();

    mutable std::mutex applicationMutex_;
    std::shared_ptr<vx::application::IVXApplication> application_;
    HWND hwnd_ = nullptr;
    bool moving_ = false;
    std::int32_t dragOffsetX_ = 0;
    std::int32_t dragOffsetY_ = 0;
    std::atomic<bool> closeEnabled_{true};
};
