#include "viewer/picture_budget.h"

#include <mutex>
#include <utility>

namespace vistoro {

BudgetShare::BudgetShare(BudgetShare &&other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

BudgetShare &BudgetShare::operator=(BudgetShare &&other) noexcept {
    if (this != &other) {
        release();
        budget_ = std::exchange(other.budget_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

BudgetShare::~BudgetShare() { release(); }

void BudgetShare::shrinkTo(std::uint64_t bytes) noexcept {
    if (budget_ && bytes < bytes_) {
        budget_->giveBack(bytes_ - bytes);
        bytes_ = bytes;
    }
}

void BudgetShare::release() noexcept {
    if (budget_)
        budget_->giveBack(bytes_);
    budget_ = nullptr;
    bytes_ = 0;
}

std::optional<BudgetShare> PictureBudget::tryTake(std::uint64_t bytes) noexcept {
    const std::lock_guard<SlimLock> hold(lock_);
    if (bytes > limit_ || inUse_ > limit_ - bytes)
        return std::nullopt;
    inUse_ += bytes;
    return BudgetShare(this, bytes);
}

BudgetShare PictureBudget::take(std::uint64_t bytes) noexcept {
    const std::lock_guard<SlimLock> hold(lock_);
    inUse_ += bytes;
    return BudgetShare(this, bytes);
}

std::uint64_t PictureBudget::inUse() const noexcept {
    const std::lock_guard<SlimLock> hold(lock_);
    return inUse_;
}

void PictureBudget::giveBack(std::uint64_t bytes) noexcept {
    const std::lock_guard<SlimLock> hold(lock_);
    inUse_ -= bytes < inUse_ ? bytes : inUse_;
}

PictureBudget &pictureBudget() noexcept {
    static PictureBudget budget(kPictureBudgetBytes);
    return budget;
}

} // namespace vistoro
