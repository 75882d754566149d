// Starting a program whose standard output and standard error this program reads.
//
// Windows only (the installation engine's children). The child gets no console
// window, the null device as standard input, and one pipe for each of its two output
// streams. Only the pipes' writing ends are passed to it: the reading ends are never
// inheritable, and the parent closes its copies of the writing ends as soon as the
// child has started, so each stream ends when the child (and whatever it passed the
// handles on to) has closed it. Starting is serialised within the process, so a child
// started at the same moment by another thread never inherits these writing ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace runtime {

// The reading end of one pipe. Move-only; one thread reads it at a time.
class PipeReader {
public:
    PipeReader() = default;
    explicit PipeReader(std::intptr_t handle) noexcept : handle_(handle) {}
    PipeReader(PipeReader&& other) noexcept : handle_(std::exchange(other.handle_, none)) {}
    PipeReader& operator=(PipeReader&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, none);
        }
        return *this;
    }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;
    ~PipeReader() { close(); }

    bool valid() const noexcept { return handle_ != none; }

    // Blocks until some bytes arrive; 0 once every writer has closed its end (or on a
    // closed reader). Throws runtime::Exception on any other failure of the system.
    std::size_t read(char* buffer, std::size_t size);

    void close() noexcept;

private:
    static constexpr std::intptr_t none = 0;
    std::intptr_t handle_ = none;
};

struct PipedChild {
    PipeReader stdoutPipe;
    PipeReader stderrPipe;
};

// Starts `program` (a path, not searched for; it may hold blanks) with the command
// line made of the program in quotes, then a blank and `arguments` as they stand when
// they are not empty: the child splits them by its own rules. The child is not waited
// for; its process handle is not kept. Throws runtime::Exception naming the program
// and the system's error code when it cannot be started.
PipedChild startWithPipes(const std::string& program, const std::string& arguments);

} // namespace runtime
