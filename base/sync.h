// A lock and a condition for the few places where threads meet, on the
// platform's own slim primitives: they cannot fail, so nothing of the C++
// library's error reporting comes with them.
#pragma once

#include <windows.h>

namespace vistoro {

// Exclusive only; with std::lock_guard.
class SlimLock {
  public:
    SlimLock() noexcept = default;
    SlimLock(const SlimLock &) = delete;
    SlimLock &operator=(const SlimLock &) = delete;
    void lock() noexcept { ::AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ::ReleaseSRWLockExclusive(&lock_); }
    SRWLOCK *native() noexcept { return &lock_; }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class Condition {
  public:
    Condition() noexcept = default;
    Condition(const Condition &) = delete;
    Condition &operator=(const Condition &) = delete;
    // Called with the lock held; returns with it held, once ready() is true.
    template <class Ready> void wait(SlimLock &held, Ready ready) noexcept {
        while (!ready())
            ::SleepConditionVariableSRW(&condition_, held.native(), INFINITE, 0);
    }
    // Waits once, for a wake-up or at most ms milliseconds, unless ready()
    // already holds; returns ready() as it then stands. Callers that wait
    // for a moment loop on their own clock.
    template <class Ready> bool waitFor(SlimLock &held, DWORD ms, Ready ready) noexcept {
        if (!ready())
            ::SleepConditionVariableSRW(&condition_, held.native(), ms, 0);
        return ready();
    }
    void wakeOne() noexcept { ::WakeConditionVariable(&condition_); }
    void wakeAll() noexcept { ::WakeAllConditionVariable(&condition_); }

  private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

} // namespace vistoro
