#pragma once
// Reading a mapped file safely: when the file shrinks while it is mapped, its
// pages past the new end fault (SIGBUS). Inside runGuarded such a fault on the
// guarded range ends the function early instead of the process.

#include <cstddef>

namespace tenmari {

// Runs fn(ctx); returns false when a bus error on a byte of [begin, begin +
// size) cut it short. fn may be left at any instruction that reads the range,
// so nothing it has open may need cleaning up: plain locals only, and any
// container it fills must be owned by the caller. Faults elsewhere go on to
// whatever handled SIGBUS before.
bool runGuarded(const void* begin, std::size_t size, void (*fn)(void*), void* ctx);

// Puts the bus error handler back in place if another part of the program
// has replaced it since; worth a call before a run of guarded reads (the
// first runGuarded installs it in any case).
void armGuards();

// Whether this thread is inside runGuarded.
bool insideGuard();

template <typename Fn>
bool runGuarded(const void* begin, std::size_t size, Fn& fn) {
    return runGuarded(
        begin, size, [](void* f) { (*static_cast<Fn*>(f))(); }, &fn);
}

}  // namespace tenmari
