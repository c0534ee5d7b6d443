#include "imaging/jpeg_huffman.h"

#include <algorithm>
#include <iterator>

namespace vistoro {

int HuffmanTable::symbolCount(const BYTE *counts) noexcept {
    int total = 0;
    for (int length = 1; length <= 16; ++length)
        total += counts[length - 1];
    return total;
}

bool HuffmanTable::countsFit(const BYTE *counts) noexcept {
    std::uint32_t code = 0;
    for (int length = 1; length <= 16; ++length) {
        code += counts[length - 1];
        if (code > (std::uint32_t{1} << length))
            return false; // over-subscribed: no prefix code has that many
        code <<= 1;
    }
    return symbolCount(counts) <= 256;
}

bool HuffmanTable::define(const BYTE *counts, const BYTE *symbols) noexcept {
    if (!countsFit(counts))
        return false;
    std::fill(std::begin(symbolOf_), std::end(symbolOf_), std::uint16_t{0});
    std::fill(std::begin(skipOf_), std::end(skipOf_), std::uint32_t{0});
    std::uint32_t code = 0, index = 0;
    for (int length = 1; length <= 16; ++length) {
        const std::uint32_t n = counts[length - 1];
        firstCode_[length] = code;
        codes_[length] = n;
        firstSymbol_[length] = index;
        for (std::uint32_t i = 0; i < n; ++i, ++code, ++index) {
            const BYTE symbol = symbols_[index] = symbols[index];
            if (length > kLookupBits)
                continue;
            const unsigned run = symbol >> 4, valueBits = symbol & 15;
            std::uint32_t step = 0; // other runs without a value: the long way refuses them
            if (valueBits == 0 && run == 0)
                step = static_cast<std::uint32_t>(length) | kEndOfBlock << 8;
            else if (valueBits == 0 && run == 15)
                step = static_cast<std::uint32_t>(length) | 16u << 8;
            else if (valueBits != 0 && length + valueBits <= kLookupBits)
                step = (length + valueBits) | (run + 1) << 8;
            else if (valueBits != 0)
                step = static_cast<std::uint32_t>(length) | (run + 1) << 8 | valueBits << 16;
            const unsigned spread = kLookupBits - length; // the bits after the code
            for (unsigned e = code << spread; e < (code + 1) << spread; ++e) {
                symbolOf_[e] = static_cast<std::uint16_t>(length << 8 | symbol);
                skipOf_[e] = step;
            }
        }
        code <<= 1;
    }
    return true;
}

int HuffmanTable::decodeLong(ScanBits &bits) const noexcept {
    // No code of up to kLookupBits bits starts these bits, so a longer one does.
    const std::uint32_t next16 = bits.peek(16);
    for (int length = kLookupBits + 1; length <= 16; ++length) {
        const std::uint32_t offset = (next16 >> (16 - length)) - firstCode_[length];
        if (offset < codes_[length]) {
            bits.drop(length);
            return symbols_[firstSymbol_[length] + offset];
        }
    }
    return -1;
}

unsigned HuffmanTable::skipLong(ScanBits &bits, unsigned k) const noexcept {
    const int symbol = decode(bits);
    if (symbol < 0)
        return 0;
    const unsigned run = static_cast<unsigned>(symbol) >> 4;
    const int valueBits = symbol & 15;
    if (valueBits == 0) {
        if (run == 0)
            return kEndOfBlock;
        // Other runs without a value end bands of progressive scans only.
        return run == 15 ? k + 16 : 0;
    }
    bits.fill(valueBits);
    bits.drop(valueBits);
    return k + run + 1;
}

// Out of line, so that the loop has the registers to itself: on the 32-bit
// build there are barely enough.
bool HuffmanTable::skipBlockAc(ScanBits &bits) const noexcept {
    // This is where a baseline photo's time goes. The reader's buffer and
    // count are copied into locals, which stay in registers, and written
    // back only for the long way and at the end.
    ScanBits::Word buffer = bits.buffer_;
    int count = bits.count_;
    unsigned k = 1;
    while (k < 64) {
        if (count < kLookupBits)
            bits.refill(buffer, count);
        const std::uint32_t step = skipOf_[buffer >> (ScanBits::kWordBits - kLookupBits)];
        if (step == 0) {
            bits.buffer_ = buffer;
            bits.count_ = count;
            k = skipLong(bits, k);
            if (k == 0)
                return false;
            buffer = bits.buffer_;
            count = bits.count_;
            continue;
        }
        const int dropped = static_cast<int>(step & 0xFF);
        buffer <<= dropped;
        count -= dropped;
        k += (step >> 8) & 0xFF;
        if (const int valueBits = static_cast<int>(step >> 16)) {
            if (count < valueBits)
                bits.refill(buffer, count);
            buffer <<= valueBits;
            count -= valueBits;
        }
    }
    bits.buffer_ = buffer;
    bits.count_ = count;
    return k == 64 || k >= kEndOfBlock;
}

} // namespace vistoro
