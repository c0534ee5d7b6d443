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
// So does a picture data that starts further into the file than this: the
// walk counts every byte it passes, fill bytes included, so that no run of
// them keeps it going.
inline constexpr std::uint64_t kMostJpegHeadBytes = std::uint64_t{16} << 20;

inline bool startsAsJpeg(const BYTE *data, std::size_t size) noexcept {
    return size >= 4 && data[0] == 0xFF && data[1] == 0xD8;
}

enum class JpegWalkEnd {
    stopped,   // the visitor asked to stop
    scan,      // the start of a scan came: the picture data follows
    endMarker, // the end-of-picture marker came first
    lost,      // the bytes ran out or stopped making sense
    bound,     // more segments or bytes than a real file has before its picture data
};
struct JpegWalk {
    JpegWalkEnd end = JpegWalkEnd::lost;
    std::uint64_t at = 0; // where the marker that ended it stands
};

// Calls visit(segment) for each segment with a length field, the scan's
// own included, in file order, until visit returns false, the scan or the
// end marker comes, or the bytes run out or stop making sense. read(at,
// out, n) copies n bytes from an offset of the file and is false when they
// are not all there.
template <class Read, class Visit> JpegWalk walkJpegSegments(Read &&read, Visit &&visit) {
    std::uint64_t pos = 2;
    for (int visited = 0; visited < kMostJpegSegments && pos <= kMostJpegHeadBytes;) {
        BYTE head[4];
        if (!read(pos, head, 2) || head[0] != 0xFF)
            return {JpegWalkEnd::lost, pos};
        const BYTE marker = head[1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2; // markers without a segment
            continue;
        }
        if (marker == 0xD9)
            return {JpegWalkEnd::endMarker, pos};
        if (!read(pos + 2, head + 2, 2))
            return {JpegWalkEnd::lost, pos};
        const JpegSegment segment{marker, pos, be16(head + 2)};
        if (segment.length < 2)
            return {JpegWalkEnd::lost, pos};
        if (!visit(segment))
            return {JpegWalkEnd::stopped, pos};
        if (marker == 0xDA)
            return {JpegWalkEnd::scan, pos};
        pos = segment.end();
        ++visited;
    }
    return {JpegWalkEnd::bound, pos};
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

inline bool isJpegFrameMarker(BYTE marker) noexcept {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The picture's size from its frame header; none when no frame header is
// read before the picture data.
template <class Read> std::optional<JpegFrameSize> jpegFrameSize(Read &&read) {
    std::optional<JpegFrameSize> size;
    walkJpegSegments(read, [&](const JpegSegment &s) {
        if (!isJpegFrameMarker(s.marker))
            return true;
        BYTE dims[4]; // height, then width, after the sample precision
        if (read(s.at + 5, dims, 4))
            size = JpegFrameSize{be16(dims + 2), be16(dims)};
        return false;
    });
    return size;
}

// What the walk to the picture data found.
struct JpegLayout {
    BYTE frameMarker = 0;
    JpegFrameSize frame;
    std::uint64_t dataAt = 0; // the first byte of the first scan's data
};
enum class JpegCheck {
    holds,     // a frame header that makes sense, then a whole scan header, then data
    broken,    // the file ends, or stops making sense, before that
    undecided, // the walk passed its bound first
};

namespace detail {
// A frame header's own fields: the sample precision a decoder can take, one
// to four components with sampling factors of 1 to 4 and a table of 0 to 3
// each, a width, and a length that holds exactly those components.
template <class Read> bool frameHeaderHolds(Read &read, const JpegSegment &s) {
    BYTE fixed[6]; // precision, height, width, component count
    if (s.length < 8 || !read(s.at + 4, fixed, 6))
        return false;
    const int precision = fixed[0], components = fixed[5];
    const bool lossless = s.marker == 0xC3 || s.marker == 0xC7 || s.marker == 0xCB ||
                          s.marker == 0xCF;
    if ((lossless ? precision < 2 || precision > 16 : precision != 8 && precision != 12) ||
        be16(fixed + 3) == 0 || components < 1 || components > 4 ||
        s.length != 8 + 3u * static_cast<unsigned>(components))
        return false;
    for (int c = 0; c < components; ++c) {
        BYTE component[3]; // identifier, sampling factors, table
        if (!read(s.at + 10 + 3 * static_cast<std::uint64_t>(c), component, 3))
            return false;
        const int h = component[1] >> 4, v = component[1] & 15;
        if (h < 1 || h > 4 || v < 1 || v > 4 || component[2] > 3)
            return false;
    }
    return true;
}
} // namespace detail

// Checks the layout from the start marker to the first scan's data in a
// file of fileSize bytes.
template <class Read>
JpegCheck checkJpegLayout(Read &&read, std::uint64_t fileSize, JpegLayout *layout = nullptr) {
    JpegLayout found;
    bool frameSeen = false, insane = false;
    std::uint64_t dataAt = 0;
    const JpegWalk walk = walkJpegSegments(read, [&](const JpegSegment &s) {
        if (isJpegFrameMarker(s.marker) && !frameSeen) {
            BYTE dims[4];
            if (!detail::frameHeaderHolds(read, s) || !read(s.at + 5, dims, 4)) {
                insane = true;
                return false;
            }
            frameSeen = true;
            found.frameMarker = s.marker;
            found.frame = JpegFrameSize{be16(dims + 2), be16(dims)};
            return true;
        }
        if (s.marker != 0xDA)
            return true;
        BYTE count;
        if (!frameSeen || !read(s.at + 4, &count, 1) || count < 1 || count > 4 ||
            s.length != 6 + 2u * count) {
            insane = true;
            return false;
        }
        dataAt = s.end();
        return true;
    });
    if (walk.end == JpegWalkEnd::bound)
        return JpegCheck::undecided;
    if (insane || walk.end != JpegWalkEnd::scan || dataAt >= fileSize)
        return JpegCheck::broken;
    found.dataAt = dataAt;
    if (layout)
        *layout = found;
    return JpegCheck::holds;
}

} // namespace vistoro
