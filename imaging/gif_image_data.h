// The image data of a GIF file: LZW codes of growing width, packed into
// sub-blocks of at most 255 bytes that a zero-length block ends. The bytes
// come from the file and may be damaged anywhere, so nothing here reads past
// them or trusts a code. Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace vistoro {

// The offset after the sub-blocks that start at `at`, past their ending
// block; the size when the bytes run out first.
std::size_t afterSubBlocks(const BYTE *data, std::size_t size, std::size_t at) noexcept;

// Where the colour indexes of an image go, string by string, in the order
// the file stores them.
class IndexSink {
  public:
    // The image has all its indexes: later codes are not decoded.
    virtual bool full() const noexcept = 0;
    // Whether any of the next `count` indexes would be used; those that
    // would not are skipped without being spelled out.
    virtual bool wants(std::uint32_t count) const noexcept = 0;
    virtual void skip(std::uint32_t count) noexcept = 0;
    virtual void put(const std::uint16_t *indexes, std::uint32_t count) noexcept = 0;

  protected:
    ~IndexSink() = default;
};

// Follows an image's data without drawing it, to learn whether it decodes
// before anything is drawn.
class IndexCounter final : public IndexSink {
  public:
    explicit IndexCounter(std::uint64_t indexes) noexcept : left_(indexes) {}
    bool full() const noexcept override { return left_ == 0; }
    bool wants(std::uint32_t) const noexcept override { return false; }
    void skip(std::uint32_t count) noexcept override { left_ -= count < left_ ? count : left_; }
    void put(const std::uint16_t *, std::uint32_t count) noexcept override { skip(count); }

  private:
    std::uint64_t left_;
};

struct ImageDataEnd {
    // False when the codes are damaged or the bytes end before the image
    // has its indexes. An image whose data ends early, or whose end code
    // comes early, is whole: its missing pixels are left as they were.
    bool decoded = false;
    std::size_t next = 0; // the offset after the data
};

// Minimum code sizes: 2 for two-colour pictures, 8 for 256 colours. A
// larger one still keeps the first code within the 12-bit table, so it is
// taken, its indexes past the colour table drawn as the format leaves them.
inline constexpr int kMinCodeSizeLow = 2;
inline constexpr int kMinCodeSizeHigh = 11;
inline constexpr std::size_t kMaxColourIndexes = std::size_t{1} << kMinCodeSizeHigh;

// Holds the code table, so that one decoder serves frame after frame
// without allocating.
class LzwDecoder {
  public:
    // Decodes the image data that starts at `at` (its minimum code size
    // byte). Costs in proportion to the codes read, plus the length of the
    // strings that the sink wants.
    ImageDataEnd decode(const BYTE *data, std::size_t size, std::size_t at,
                        IndexSink &sink) noexcept;

  private:
    static constexpr std::size_t kTableSize = 4096; // 12-bit codes
    std::array<std::uint16_t, kTableSize> prefix_{}, suffix_{}, first_{}, length_{};
    std::array<std::uint16_t, kTableSize> string_{};
};

} // namespace vistoro
