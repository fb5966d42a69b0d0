#include "FaultGuard.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <mutex>

namespace tenmari {
namespace {

struct Active {
    const char* begin;
    const char* end;
    sigjmp_buf env;
};

thread_local Active* tActive = nullptr;
struct sigaction gPrevious {};
std::mutex gInstall;
std::atomic<bool> gInstalled{false};

void onBusError(int sig, siginfo_t* info, void* context) {
    Active* const a = tActive;
    const auto* addr = static_cast<const char*>(info->si_addr);
    if (a != nullptr && addr >= a->begin && addr < a->end) siglongjmp(a->env, 1);
    // Not a guarded read: do what was done before this handler came.
    if ((gPrevious.sa_flags & SA_SIGINFO) != 0 && gPrevious.sa_sigaction != nullptr) {
        gPrevious.sa_sigaction(sig, info, context);
    } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(sig);
    } else {
        // The faulting read runs again on return and ends the process as usual.
        std::signal(sig, SIG_DFL);
    }
}

void install() {
    const std::lock_guard<std::mutex> lock(gInstall);
    struct sigaction current {};
    if (::sigaction(SIGBUS, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) != 0 &&
        current.sa_sigaction == onBusError) {
        return;
    }
    struct sigaction mine {};
    mine.sa_sigaction = onBusError;
    // SIGBUS stays unblocked in the handler, so that a jump out of it leaves
    // the signal mask as it was and sigsetjmp need not save it (a system call).
    mine.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&mine.sa_mask);
    ::sigaction(SIGBUS, &mine, &gPrevious);
    gInstalled.store(true, std::memory_order_release);
}

}  // namespace

bool insideGuard() { return tActive != nullptr; }

void armGuards() { install(); }

bool runGuarded(const void* begin, std::size_t size, void (*fn)(void*), void* ctx) {
    if (!gInstalled.load(std::memory_order_acquire)) install();
    Active active;
    active.begin = static_cast<const char*>(begin);
    active.end = active.begin + size;
    // The outer guard comes back however this one ends: by a jump, an
    // exception from fn, or a return.
    struct Restore {
        Active* outer;
        ~Restore() { tActive = outer; }
    } restore{tActive};
    if (sigsetjmp(active.env, 0) != 0) return false;
    tActive = &active;
    fn(ctx);
    return true;
}

}  // namespace tenmari
