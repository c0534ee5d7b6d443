// Walking a JPEG file's marker segments from its start marker up to the
// picture data, over reads that may reach beyond the bytes at hand: the
// same walk serves a whole file in memory and the head of a file on disk.
// Internal to the imaging layer.
#pragma once

#include "imaging/byte_order.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace vistoro {

struct JpegSegment {
    BYTE marker = 0;
    std::uint64_t at = 0;     // where its 0xFF stands
    std::uint64_t length = 0; // its length field, which counts itself
    std::uint64_t body() const noexcept { return at + 4; }
    std::uint64_t end() const noexcept { return at + 2 + length; }
};

// More segments than this ahead of the picture data mean a damaged file.
inline constexpr int kMostJpegSegments = 1024;

inline bool startsAsJpeg(const BYTE *data, std::size_t size) noexcept {
    return size >= 4 && data[0] == 0xFF && data[1] == 0xD8;
}

// Calls visit(segment) for each segment with a length field, in file order,
// until visit returns false, the scan or the end marker comes, or the bytes
// run out or stop making sense. read(at, out, n) copies n bytes from an
// offset of the file and is false when they are not all there.
template <class Read, class Visit> void walkJpegSegments(Read &&read, Visit &&visit) {
    std::uint64_t pos = 2;
    for (int visited = 0; visited < kMostJpegSegments;) {
        BYTE head[4];
        if (!read(pos, head, 2) || head[0] != 0xFF)
            return;
        const BYTE marker = head[1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2; // markers without a segment
            continue;
        }
        if (marker == 0xDA || marker == 0xD9 || !read(pos + 2, head + 2, 2))
            return;
        const JpegSegment segment{marker, pos, be16(head + 2)};
        if (segment.length < 2 || !visit(segment))
            return;
        pos = segment.end();
        ++visited;
    }
}

// Reads out of bytes in memory.
struct MemoryReader {
    const BYTE *data;
    std::size_t size;
    bool operator()(std::uint64_t at, BYTE *out, std::size_t n) const noexcept {
        if (at > size || n > size - at)
            return false;
        std::memcpy(out, data + at, n);
        return true;
    }
};

struct JpegFrameSize {
    std::uint32_t width = 0, height = 0; // as stored, before any orientation
};

// The picture's size from its frame header; none when no frame header is
// read before the picture data.
template <class Read> std::optional<JpegFrameSize> jpegFrameSize(Read &&read) {
    std::optional<JpegFrameSize> size;
    walkJpegSegments(read, [&](const JpegSegment &s) {
        const bool frame = s.marker >= 0xC0 && s.marker <= 0xCF && s.marker != 0xC4 &&
                           s.marker != 0xC8 && s.marker != 0xCC;
        if (!frame)
            return true;
        BYTE dims[4]; // height, then width, after the sample precision
        if (read(s.at + 5, dims, 4))
            size = JpegFrameSize{be16(dims + 2), be16(dims)};
        return false;
    });
    return size;
}

} // namespace vistoro
