#include "imaging/gif_image_data.h"

#include <algorithm>

namespace vistoro {

namespace {

// The bytes of consecutive sub-blocks, read as one run.
class SubBlockBytes {
  public:
    enum class Got { byte, ended, cut }; // cut: the bytes ran out

    SubBlockBytes(const BYTE *data, std::size_t size, std::size_t at) noexcept
        : data_(data), size_(size), at_(at) {}

    Got next(BYTE &byte) noexcept {
        if (ended_)
            return Got::ended;
        if (left_ == 0) {
            if (at_ >= size_)
                return Got::cut;
            left_ = data_[at_++];
            if (left_ == 0) {
                ended_ = true;
                return Got::ended;
            }
        }
        if (at_ >= size_)
            return Got::cut;
        --left_;
        byte = data_[at_++];
        return Got::byte;
    }

    // The offset after the ending block, skipping what is left unread.
    std::size_t finish() const noexcept {
        if (ended_)
            return at_;
        const std::size_t restOfBlock = std::min(left_, size_ - at_);
        return afterSubBlocks(data_, size_, at_ + restOfBlock);
    }

  private:
    const BYTE *data_;
    std::size_t size_, at_, left_ = 0;
    bool ended_ = false;
};

} // namespace

std::size_t afterSubBlocks(const BYTE *data, std::size_t size, std::size_t at) noexcept {
    while (at < size) {
        const std::size_t length = data[at];
        if (length == 0)
            return at + 1;
        if (length >= size - at)
            return size;
        at += 1 + length;
    }
    return size;
}

ImageDataEnd LzwDecoder::decode(const BYTE *data, std::size_t size, std::size_t at,
                                IndexSink &sink) noexcept {
    if (at >= size)
        return {false, size};
    const int minCodeSize = data[at];
    if (minCodeSize < kMinCodeSizeLow || minCodeSize > kMinCodeSizeHigh)
        return {false, size};
    SubBlockBytes bytes(data, size, at + 1);

    const std::uint16_t clearCode = static_cast<std::uint16_t>(1u << minCodeSize);
    const std::uint16_t endCode = clearCode + 1;
    constexpr std::uint16_t kNone = 0xFFFF;
    for (std::uint16_t i = 0; i < clearCode; ++i) {
        suffix_[i] = first_[i] = i;
        length_[i] = 1;
    }
    int codeSize = minCodeSize + 1;
    std::uint32_t nextCode = endCode + 1;
    std::uint16_t previous = kNone;

    // Writes out the string of a code in the table.
    const auto emit = [&](std::uint16_t code) {
        const std::uint32_t length = length_[code];
        if (!sink.wants(length)) {
            sink.skip(length);
            return;
        }
        for (std::uint32_t i = length; i-- > 0; code = prefix_[code])
            string_[i] = suffix_[code];
        sink.put(string_.data(), length);
    };

    std::uint32_t bits = 0;
    int bitCount = 0;
    while (!sink.full()) {
        while (bitCount < codeSize) {
            BYTE byte = 0;
            const SubBlockBytes::Got got = bytes.next(byte);
            if (got == SubBlockBytes::Got::cut)
                return {false, size};
            if (got == SubBlockBytes::Got::ended)
                return {true, bytes.finish()};
            bits |= static_cast<std::uint32_t>(byte) << bitCount;
            bitCount += 8;
        }
        const auto code = static_cast<std::uint16_t>(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;

        if (code == clearCode) {
            codeSize = minCodeSize + 1;
            nextCode = endCode + 1;
            previous = kNone;
            continue;
        }
        if (code == endCode)
            break;
        if (previous == kNone) {
            // Only a colour can follow a clear: the table has nothing else.
            if (code > clearCode)
                return {false, size};
            emit(code);
            previous = code;
            continue;
        }
        // A code may name the entry being made right now (the previous
        // string plus its own first index), never one beyond.
        if (code > nextCode)
            return {false, size};
        // A full table stays as it is until the next clear.
        if (nextCode < kTableSize) {
            prefix_[nextCode] = previous;
            first_[nextCode] = first_[previous];
            suffix_[nextCode] = code < nextCode ? first_[code] : first_[previous];
            length_[nextCode] = static_cast<std::uint16_t>(length_[previous] + 1);
            ++nextCode;
            if (nextCode == (1u << codeSize) && codeSize < 12)
                ++codeSize;
        }
        emit(code);
        previous = code;
    }
    return {true, bytes.finish()};
}

} // namespace vistoro
