#include "base/cancel.h"

namespace vistoro {

namespace {
thread_local const std::atomic<bool> *threadFlag = nullptr;
} // namespace

bool cancelRequested() noexcept {
    return threadFlag && threadFlag->load(std::memory_order_relaxed);
}

CancelScope::CancelScope(const std::atomic<bool> *flag) noexcept : outer_(threadFlag) {
    threadFlag = flag;
}

CancelScope::~CancelScope() { threadFlag = outer_; }

} // namespace vistoro
