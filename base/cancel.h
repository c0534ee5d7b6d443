// Asking work under way on a thread to stop: the thread's owner points the
// thread at a flag for the time of one piece of work, and long work asks
// at its natural breaks (a chunk of a file read, a band of rows) whether
// the flag is set. Work that never asks simply runs to its end.
#pragma once

#include <atomic>

namespace vistoro {

// True when the work running on this thread has been asked to stop.
bool cancelRequested() noexcept;

// Points this thread at `flag` until the scope ends (null: nothing asks).
class CancelScope {
  public:
    explicit CancelScope(const std::atomic<bool> *flag) noexcept;
    ~CancelScope();
    CancelScope(const CancelScope &) = delete;
    CancelScope &operator=(const CancelScope &) = delete;

  private:
    const std::atomic<bool> *outer_;
};

} // namespace vistoro
