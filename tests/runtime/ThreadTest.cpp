#include "runtime/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Records, in its destructor, whether run() had finished: an object destroyed while
// its thread still runs would record false.
struct Probe {
    std::atomic<int> destroyedAfterRun{0};
    std::atomic<int> destroyedEarly{0};
    std::atomic<int> runs{0};
};

class SleepyThread : public runtime::Thread {
public:
    SleepyThread(Probe& probe, std::chrono::milliseconds nap, bool spawnChild = false,
                 bool fail = false)
        : probe_(probe), nap_(nap), spawnChild_(spawnChild), fail_(fail) {}
    ~SleepyThread() override {
        (finished_ ? probe_.destroyedAfterRun : probe_.destroyedEarly)++;
    }

protected:
    void run() override {
        if (spawnChild_) {
            std::make_shared<SleepyThread>(probe_, nap_)->start();
        }
        std::this_thread::sleep_for(nap_);
        probe_.runs++;
        finished_ = true;
        if (fail_) {
            throw std::runtime_error("thread body failed");
        }
    }

private:
    Probe& probe_;
    std::chrono::milliseconds nap_;
    bool spawnChild_;
    bool fail_;
    std::atomic<bool> finished_{false};
};

TEST(Thread, WaitForAllWaitsForEveryThreadAndKeepsObjectsAlive) {
    Probe probe;
    // The starters drop their references at once; the threads keep the objects.
    std::make_shared<SleepyThread>(probe, 100ms)->start();
    std::make_shared<SleepyThread>(probe, 50ms, /*spawnChild=*/true)->start();
    std::make_shared<SleepyThread>(probe, 10ms, false, /*fail=*/true)->start();

    int calls = 0;
    runtime::Thread::waitForAll([&] { ++calls; }, 5ms);

    EXPECT_EQ(probe.runs, 4);
    EXPECT_EQ(probe.destroyedAfterRun, 4);
    EXPECT_EQ(probe.destroyedEarly, 0);
    EXPECT_EQ(runtime::Thread::running(), 0u);
    EXPECT_GT(calls, 0); // the callback ran while threads were still running
}

TEST(Thread, StartRequiresSharedOwnership) {
    Probe probe;
    SleepyThread onStack(probe, 0ms);
    EXPECT_THROW(onStack.start(), std::bad_weak_ptr);
    runtime::Thread::waitForAll();
    EXPECT_EQ(probe.runs, 0);
}

TEST(Thread, WaitForAllWithNoThreadsReturnsAtOnce) {
    runtime::Thread::waitForAll();
    EXPECT_EQ(runtime::Thread::running(), 0u);
}

} // namespace
