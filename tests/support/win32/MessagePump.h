// Message pumping for Windows tests that create windows on the test's thread.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Dispatches everything queued for this thread, sent or posted.
inline void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps until `done` holds or `limit` passes; returns whether it held.
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        pumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pumpMessages();
    return true;
}

inline void pumpFor(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
}

} // namespace testing_support
