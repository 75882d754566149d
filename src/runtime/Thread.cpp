#include "runtime/Thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace runtime {
namespace {

struct Registry {
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<std::thread> threads;
    std::size_t running = 0;
};

// Never destroyed: threads may still reach it while static destructors run.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

} // namespace

void Thread::start() {
    std::shared_ptr<Thread> self = shared_from_this();
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    ++r.running;
    try {
        r.threads.emplace_back([self = std::move(self)]() mutable {
            try {
                self->run();
            } catch (...) {
                // Nothing to report to: see run().
            }
            self.reset();
            Registry& reg = registry();
            std::lock_guard<std::mutex> done(reg.mutex);
            --reg.running;
            reg.ended.notify_all();
        });
    } catch (...) {
        --r.running;
        throw;
    }
}

std::size_t Thread::running() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.running;
}

void Thread::waitForAll(const std::function<void()>& whileWaiting,
                        std::chrono::milliseconds tick) {
    Registry& r = registry();
    for (;;) {
        std::unique_lock<std::mutex> lock(r.mutex);
        if (!r.ended.wait_for(lock, tick, [&] { return r.running == 0; })) {
            lock.unlock();
            if (whileWaiting) {
                whileWaiting();
            }
            continue;
        }
        std::vector<std::thread> finished = std::move(r.threads);
        r.threads.clear();
        lock.unlock();
        for (std::thread& t : finished) {
            t.join();
        }
        lock.lock();
        if (r.running == 0 && r.threads.empty()) {
            return;
        }
    }
}

} // namespace runtime
