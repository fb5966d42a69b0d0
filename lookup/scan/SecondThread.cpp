#include "SecondThread.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <system_error>

namespace tenmari::linefilter {

// The kept thread: parked until a job comes, runs it, says it is done.
class SecondThread::Kept {
public:
    // The process's kept thread if no pass has it now, started on first use;
    // nullptr when it is lent or cannot be started.
    static Kept* lend() {
        std::lock_guard<std::mutex> lock(guard());
        if (instance() == nullptr) {
            static const bool registered = [] {
                // A child of fork() has none of its parent's threads: it starts its own.
                ::pthread_atfork([] { guard().lock(); }, [] { guard().unlock(); },
                                 [] {
                                     instance() = nullptr;  // (the parent's, never used here)
                                     guard().unlock();
                                 });
                return true;
            }();
            (void)registered;
            try {
                instance() = new Kept;
            } catch (const std::exception&) {
                return nullptr;
            }
        }
        Kept* k = instance();
        if (k->lent_) return nullptr;
        k->lent_ = true;
        return k;
    }

    void run(void (*job)(void*), void* ctx) {
        {
            std::lock_guard<std::mutex> lock(m_);
            job_ = job;
            ctx_ = ctx;
            done_ = false;
        }
        cv_.notify_all();
    }

    // Until the job is done; then the thread is given back.
    void waitAndGiveBack() {
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return done_; });
        }
        std::lock_guard<std::mutex> lock(guard());
        lent_ = false;
    }

private:
    Kept() : thread_([this] { loop(); }) {
        thread_.detach();  // parked for the life of the process
    }

    void loop() {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            cv_.wait(lock, [this] { return job_ != nullptr; });
            void (*job)(void*) = job_;
            void* ctx = ctx_;
            lock.unlock();
            job(ctx);  // (the jobs catch their own exceptions)
            lock.lock();
            job_ = nullptr;
            done_ = true;
            cv_.notify_all();
        }
    }

    static std::mutex& guard() {
        static std::mutex m;
        return m;
    }
    static Kept*& instance() {
        static Kept* k = nullptr;
        return k;
    }

    std::mutex m_;
    std::condition_variable cv_;
    void (*job_)(void*) = nullptr;
    void* ctx_ = nullptr;
    bool done_ = false;
    bool lent_ = false;  // under guard()
    std::thread thread_;
};

bool SecondThread::start(void (*job)(void*), void* ctx) {
    kept_ = Kept::lend();
    if (kept_ != nullptr) {
        kept_->run(job, ctx);
        running_ = true;
        return true;
    }
    try {
        own_ = std::thread(job, ctx);
    } catch (const std::system_error&) {
        return false;
    }
    running_ = true;
    return true;
}

void SecondThread::join() {
    if (!running_) return;
    running_ = false;
    if (kept_ != nullptr) {
        kept_->waitAndGiveBack();
        kept_ = nullptr;
    } else {
        own_.join();
    }
}

SecondThread::~SecondThread() {
    if (!running_) return;
    cancel_.store(true, std::memory_order_relaxed);
    join();
}

}  // namespace tenmari::linefilter
