// The entropy-coded data of a JPEG scan: its bytes read as bits, and the
// Huffman codes in them. Made for the one-eighth reader, which needs only
// the DC value of each block: the AC codes are passed over without working
// out their values, one table look-up per code in the usual case. Internal
// to the imaging layer.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace vistoro {

// Codes of up to this many bits are read with one look-up, together with
// the bits of the value behind them when those fit as well; longer ones are
// searched for. 2^10 entries keep the tables of a scan in the first-level
// cache.
inline constexpr int kLookupBits = 10;

// The bits of a scan, most significant first, with the zero byte stuffed
// behind each 0xFF dropped. At a marker or at the end of the bytes the
// reader makes up zero bits and counts them: a scan that used any of them
// ran out before its last block.
class ScanBits {
  public:
    // A machine word: the 32-bit build keeps the buffer in one register.
    using Word = std::uintptr_t;
    static constexpr int kWordBits = static_cast<int>(sizeof(Word) * 8);

    ScanBits(const BYTE *at, const BYTE *end) noexcept : p_(at), end_(end) {}

    // At least kWordBits - 8 bits in the buffer (enough for a code of 16)
    // when fewer than `need` are.
    void fill(int need) noexcept {
        if (count_ < need)
            refill();
    }
    // The next n bits (1 to 16) as a number, which fill() has put there.
    unsigned peek(int n) const noexcept {
        return static_cast<unsigned>(buffer_ >> (kWordBits - n));
    }
    void drop(int n) noexcept {
        buffer_ <<= n;
        count_ -= n;
    }
    // True once a bit that the data does not hold has been used.
    bool overran() const noexcept { return madeUp_ > count_; }
    // Where reading stopped: at the marker that ended the data, or after the
    // last byte taken into the buffer.
    const BYTE *position() const noexcept { return p_; }
    // Starts again at a byte boundary (behind a restart marker).
    void restartAt(const BYTE *at) noexcept {
        p_ = at;
        buffer_ = 0;
        count_ = madeUp_ = 0;
    }

  private:
    friend class HuffmanTable;

    void refill() noexcept { refill(buffer_, count_); }
    // The same on copies of the buffer and its count, which the compiler
    // can keep in registers in a loop.
    void refill(Word &buffer, int &count) noexcept {
        // Usually a word's worth of bytes lies ahead with no 0xFF among
        // them: as many whole bytes as fit go in at once.
        if (end_ - p_ >= static_cast<std::ptrdiff_t>(sizeof(Word))) {
            Word next = 0;
            for (std::size_t i = 0; i < sizeof(Word); ++i)
                next = next << 8 | p_[i];
            constexpr Word ones = ~Word{0} / 0xFF, highs = ones << 7; // 0x0101..., 0x8080...
            // No byte of ~next is zero, so none of next is 0xFF.
            if (((~next - ones) & next & highs) == 0) {
                const int bytes = std::min((kWordBits - count) / 8, kWordBits / 8 - 1);
                buffer |= next >> (kWordBits - 8 * bytes) << (kWordBits - 8 * bytes - count);
                p_ += bytes;
                count += 8 * bytes;
                return;
            }
        }
        while (count <= kWordBits - 8) {
            Word byte = 0;
            if (p_ < end_ && *p_ != 0xFF)
                byte = *p_++;
            else if (end_ - p_ > 1 && p_[1] == 0) { // a stuffed 0xFF
                byte = 0xFF;
                p_ += 2;
            } else
                madeUp_ += 8; // a marker or the end: p_ stays on it
            buffer |= byte << (kWordBits - 8 - count);
            count += 8;
        }
    }

    Word buffer_ = 0;
    int count_ = 0, madeUp_ = 0;
    const BYTE *p_;
    const BYTE *end_;
};

// One Huffman table of a scan (DHT), with look-ups for its short codes.
class HuffmanTable {
  public:
    // The number of symbols that 16 counts of codes (of 1 to 16 bits) declare.
    static int symbolCount(const BYTE *counts) noexcept;
    // False when the counts ask for more codes of a length than that length
    // has room for (over-subscribed), or for more than 256 symbols.
    static bool countsFit(const BYTE *counts) noexcept;
    // From the counts and the symbols in code order; false when the counts
    // do not fit.
    bool define(const BYTE *counts, const BYTE *symbols) noexcept;

    // The next symbol; -1 for bits that are no code of the table.
    int decode(ScanBits &bits) const noexcept {
        bits.fill(16);
        const unsigned entry = symbolOf_[bits.peek(kLookupBits)];
        if (entry == 0)
            return decodeLong(bits);
        bits.drop(static_cast<int>(entry >> 8));
        return static_cast<int>(entry & 0xFF);
    }

    // Passes over the AC codes of one block of a sequential scan, from the
    // first AC coefficient to the end of the block. False for bits that are
    // no code, a symbol that a sequential scan does not use, or a run past
    // the block's 64th coefficient.
    bool skipBlockAc(ScanBits &bits) const noexcept;

  private:
    // The coefficient step of an end-of-block code: past any position.
    static constexpr unsigned kEndOfBlock = 128;

    int decodeLong(ScanBits &bits) const noexcept;
    // The coefficient position after the code at k, the long way; 0 when
    // there is no code or no symbol that a sequential scan uses.
    unsigned skipLong(ScanBits &bits, unsigned k) const noexcept;

    // By the next kLookupBits bits, for codes that fit in them: the code's
    // length << 8 | its symbol; 0 for longer codes.
    std::uint16_t symbolOf_[1 << kLookupBits] = {};
    // The same for passing AC codes: the bits to drop now (the code, with
    // the value's bits when they fit too) | the coefficient step << 8 | the
    // value's bits still to drop << 16; 0 for what needs the long way.
    std::uint32_t skipOf_[1 << kLookupBits] = {};
    // Canonical codes by length: the first code, how many, and where their
    // symbols start.
    std::uint32_t firstCode_[17] = {}, codes_[17] = {}, firstSymbol_[17] = {};
    BYTE symbols_[256] = {};
};

} // namespace vistoro
