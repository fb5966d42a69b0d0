#pragma once
// The second thread of a pass on two threads. Starting a thread costs tens
// of microseconds on virtual machines (here about a tenth of a read of the
// nationwide file), and the new thread runs tens more after that; a thread
// kept parked between passes is woken in a few. So one thread is kept for
// the process, started on the first pass that wants it, and lent to one pass
// at a time; a pass that finds it lent starts a thread of its own.

#include <atomic>
#include <thread>

namespace tenmari::linefilter {

class SecondThread {
public:
    // `cancel` is set before the thread is waited for on the way out.
    explicit SecondThread(std::atomic<bool>& cancel) : cancel_(cancel) {}
    // Waits for the work, also when the caller's part throws or stops early;
    // `cancel` is set first, for the work to see.
    ~SecondThread();
    SecondThread(const SecondThread&) = delete;
    SecondThread& operator=(const SecondThread&) = delete;

    // Runs work() on the second thread; `work` must live until join(). False
    // when the system gives no thread: then the caller passes on one.
    template <typename Work>
    bool start(Work& work) {
        return start([](void* w) { (*static_cast<Work*>(w))(); }, &work);
    }
    // Until the work is done.
    void join();

private:
    bool start(void (*job)(void*), void* ctx);

    class Kept;
    std::atomic<bool>& cancel_;
    Kept* kept_ = nullptr;  // the process's kept thread, while this pass has it
    std::thread own_;       // or a thread of the pass's own
    bool running_ = false;
};

}  // namespace tenmari::linefilter
