// Starting a program and waiting for its end.
//
// One small interface; the source file per system is chosen by CMake. The program is
// started with no console window and without our standard streams: it gets none on
// Windows and /dev/null elsewhere. Texts are UTF-8.
//
// A Process owns the started program's handle (not the program: destroying a Process
// neither stops the program nor waits for it). Move-only; one thread uses it at a time.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace runtime {

class Process {
public:
    // How a wait ended.
    struct Exit {
        enum class Kind {
            Ended,      // the program ran and ended; `code` is its exit code
            WaitFailed, // the wait itself failed; `code` is the system's error code
        };
        Kind kind;
        std::int32_t code;
    };

    // Starts args[0] (a path; no search along PATH) with `args` as its argument list,
    // args[0] included, each element arriving in the program exactly as given.
    // Throws runtime::Exception naming the program and the system's error code when
    // it cannot be started (missing, not a program, not allowed, or `args` empty).
    static Process start(const std::vector<std::string>& args);

    Process(Process&& other) noexcept : handle_(std::exchange(other.handle_, none)) {}
    Process& operator=(Process&& other) noexcept {
        if (this != &other) {
            release();
            handle_ = std::exchange(other.handle_, none);
        }
        return *this;
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() { release(); }

    // Blocks without a time limit until the program has ended. Never throws: a failure
    // to wait is reported in the result. The handle is given up afterwards, so a
    // further call, like one on a moved-from Process, gives WaitFailed with code -1.
    // On POSIX a program ended by a signal counts as ended with 128 + the signal's
    // number, as shells report it.
    Exit wait() noexcept;

private:
    // A Win32 process HANDLE or a POSIX process id; neither system uses 0 for one.
    static constexpr std::intptr_t none = 0;

    explicit Process(std::intptr_t handle) noexcept : handle_(handle) {}
    void release() noexcept;

    std::intptr_t handle_ = none;
};

} // namespace runtime
