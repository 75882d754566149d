// Thread base class. start() runs run() on a new thread. The running thread holds a
// shared reference to its object, so the object lives at least until run() returns,
// whatever its starter does with its own reference; the object must therefore be
// owned by a std::shared_ptr when start() is called.
//
// Every thread started here is known to the process: waitForAll() returns only when
// all of them (including threads they started in turn) have ended and been joined.
// The program calls it once, after its main function, before module clean-up.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace runtime {

class Thread : public std::enable_shared_from_this<Thread> {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    virtual ~Thread() = default;

    // Starts run() on a new thread. Call once. Throws std::bad_weak_ptr when the
    // object is not owned by a std::shared_ptr, std::system_error when no thread
    // can be created.
    void start();

    // Blocks until every started thread has ended. `whileWaiting` (may be empty)
    // is called about every `tick` while threads still run: the Windows build uses
    // it to keep answering messages that other threads send to this thread's
    // windows, which would otherwise wait for a thread that waits for them.
    static void waitForAll(const std::function<void()>& whileWaiting = {},
                           std::chrono::milliseconds tick = std::chrono::milliseconds(20));

    // Number of started threads whose run() has not returned yet.
    static std::size_t running();

protected:
    // The thread's body. An error escaping it ends the thread and nothing else;
    // threads that must report their errors catch them themselves.
    virtual void run() = 0;
};

} // namespace runtime
