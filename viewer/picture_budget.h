// How much of the address space the viewer's pictures may take, counted in
// bytes: the shown picture, the one just left, the one decoded ahead, and
// every decode under way at its peak. A 32-bit process on 32-bit Windows
// has 2 GiB, of which the program, its libraries and the platform's
// decoders take a share and fragmentation another; half of it is for the
// pictures. Decoding ahead takes a share only where one fits and gives way
// otherwise; what a key or a gallery cell needs is taken in any case, so
// that a look-ahead is what waits, never the person.
#pragma once

#include <cstdint>
#include <optional>

#include "base/sync.h"

namespace vistoro {

inline constexpr std::uint64_t kPictureBudgetBytes = std::uint64_t{1} << 30;
// No single decode ahead may take more than this at its peak, whatever is
// free: its blocks must be found whole in an address space that others
// have cut up (a 61-megapixel photo still fits).
inline constexpr std::uint64_t kMostPeakAheadBytes = kPictureBudgetBytes / 2;

// The bytes a picture's 32-bit bitmap takes.
constexpr std::uint64_t pictureBytes(std::uint64_t width, std::uint64_t height) noexcept {
    return width * height * 4;
}
// The most that decoding a picture of this size from a file of this size
// takes at once: the file's bytes, the decoder's own copy (up to 32 bits a
// pixel) and the bitmap.
constexpr std::uint64_t decodePeakBytes(std::uint64_t width, std::uint64_t height,
                                        std::uint64_t fileBytes) noexcept {
    return fileBytes + 2 * pictureBytes(width, height);
}

class PictureBudget;

// A share of the budget, given back when the share goes. Move-only.
class BudgetShare {
  public:
    BudgetShare() noexcept = default;
    BudgetShare(BudgetShare &&other) noexcept;
    BudgetShare &operator=(BudgetShare &&other) noexcept;
    ~BudgetShare();
    BudgetShare(const BudgetShare &) = delete;
    BudgetShare &operator=(const BudgetShare &) = delete;

    std::uint64_t bytes() const noexcept { return bytes_; }
    explicit operator bool() const noexcept { return budget_ != nullptr; }
    // Once a decode is over, its share is what its picture keeps.
    void shrinkTo(std::uint64_t bytes) noexcept;
    void release() noexcept;

  private:
    friend class PictureBudget;
    BudgetShare(PictureBudget *budget, std::uint64_t bytes) noexcept
        : budget_(budget), bytes_(bytes) {}
    PictureBudget *budget_ = nullptr;
    std::uint64_t bytes_ = 0;
};

// Shared by the window's thread and the decoding threads.
class PictureBudget {
  public:
    explicit PictureBudget(std::uint64_t limit) noexcept : limit_(limit) {}
    PictureBudget(const PictureBudget &) = delete;
    PictureBudget &operator=(const PictureBudget &) = delete;

    // A share only where it fits beside what is taken.
    std::optional<BudgetShare> tryTake(std::uint64_t bytes) noexcept;
    // A share in any case.
    BudgetShare take(std::uint64_t bytes) noexcept;

    std::uint64_t inUse() const noexcept;
    std::uint64_t limit() const noexcept { return limit_; }

  private:
    friend class BudgetShare;
    void giveBack(std::uint64_t bytes) noexcept;

    const std::uint64_t limit_;
    mutable SlimLock lock_;
    std::uint64_t inUse_ = 0;
};

// The program's budget, of kPictureBudgetBytes.
PictureBudget &pictureBudget() noexcept;

} // namespace vistoro
