#include "imaging/exif.h"

#include "imaging/byte_order.h"
#include "imaging/jpeg_segments.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vistoro {
namespace {

using u64 = std::uint64_t;

constexpr std::uint16_t kCompression = 0x0103;
constexpr std::uint16_t kOrientation = 0x0112;
constexpr std::uint16_t kThumbnailOffset = 0x0201; // JPEGInterchangeFormat
constexpr std::uint16_t kThumbnailLength = 0x0202; // JPEGInterchangeFormatLength
constexpr std::uint16_t kShort = 3, kLong = 4;
constexpr std::uint16_t kJpegCompression = 6;

// A TIFF structure (a whole TIFF file, or the body of an EXIF segment):
// its byte order and the entries of its directories, all bounded by it.
class TiffBlock {
  public:
    TiffBlock(const BYTE *data, std::size_t size) noexcept : p_(data), size_(size) {
        if (size < 8)
            return;
        if (std::memcmp(data, "II\x2A\x00", 4) == 0)
            valid_ = true;
        else if (std::memcmp(data, "MM\x00\x2A", 4) == 0)
            valid_ = big_ = true;
    }
    explicit operator bool() const noexcept { return valid_; }

    u64 u16(u64 at) const noexcept { return at + 2 <= size_ ? (big_ ? be16(p_ + at) : le16(p_ + at)) : 0; }
    u64 u32(u64 at) const noexcept { return at + 4 <= size_ ? (big_ ? be32(p_ + at) : le32(p_ + at)) : 0; }
    std::size_t size() const noexcept { return size_; }

    // The directory at an offset: its entries that lie inside the block (a
    // block cut short keeps those before the cut), and the offset of the
    // next directory (0 when it is not wholly there).
    struct Directory {
        u64 first = 0, entries = 0, next = 0;
    };
    Directory directory(u64 at) const noexcept {
        if (at < 8 || at + 2 > size_)
            return {};
        const u64 declared = u16(at);
        const u64 fit = (size_ - at - 2) / 12;
        Directory d{at + 2, std::min(declared, fit), 0};
        if (declared <= fit)
            d.next = u32(at + 2 + declared * 12);
        return d;
    }
    // The single value of an entry of type short or long; none for any
    // other type or a count other than one.
    bool value(u64 entry, u64 &out) const noexcept {
        const u64 type = u16(entry + 2), count = u32(entry + 4);
        if (count != 1 || (type != kShort && type != kLong))
            return false;
        out = type == kShort ? u16(entry + 8) : u32(entry + 8);
        return true;
    }
    u64 tag(u64 entry) const noexcept { return u16(entry); }

  private:
    const BYTE *p_;
    std::size_t size_;
    bool valid_ = false, big_ = false;
};

int orientationIn(const TiffBlock &tiff, const TiffBlock::Directory &ifd0) noexcept {
    for (u64 e = 0; e < ifd0.entries; ++e) {
        const u64 entry = ifd0.first + e * 12;
        u64 v = 0;
        if (tiff.tag(entry) == kOrientation)
            return tiff.value(entry, v) && v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
    }
    return 1;
}

// The thumbnail that the second directory points at, inside the block.
void thumbnailIn(const TiffBlock &tiff, u64 ifd1At, std::size_t blockAt, ExifFacts &facts) noexcept {
    const TiffBlock::Directory ifd1 = tiff.directory(ifd1At);
    u64 offset = 0, length = 0, compression = kJpegCompression;
    for (u64 e = 0; e < ifd1.entries; ++e) {
        const u64 entry = ifd1.first + e * 12, tag = tiff.tag(entry);
        if (tag == kThumbnailOffset)
            tiff.value(entry, offset);
        else if (tag == kThumbnailLength)
            tiff.value(entry, length);
        else if (tag == kCompression)
            tiff.value(entry, compression);
    }
    // A JPEG of at least its start marker, wholly inside the block.
    if (compression != kJpegCompression || offset < 8 || length < 4 || offset > tiff.size() ||
        length > tiff.size() - offset)
        return;
    facts.thumbnailAt = blockAt + static_cast<std::size_t>(offset);
    facts.thumbnailBytes = static_cast<std::size_t>(length);
}

ExifFacts factsOf(const BYTE *block, std::size_t size, std::size_t blockAt, bool withThumbnail) noexcept {
    ExifFacts facts;
    const TiffBlock tiff(block, size);
    if (!tiff)
        return facts;
    const TiffBlock::Directory ifd0 = tiff.directory(tiff.u32(4));
    facts.orientation = orientationIn(tiff, ifd0);
    if (withThumbnail && ifd0.next != 0)
        thumbnailIn(tiff, ifd0.next, blockAt, facts);
    return facts;
}

// The body of the first APP1 "Exif" segment ahead of the picture data, cut
// at the end of the bytes when the segment runs past them.
bool exifSegment(const BYTE *d, std::size_t size, std::size_t &at, std::size_t &bytes) noexcept {
    static const BYTE kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    bool found = false;
    walkJpegSegments(MemoryReader{d, size}, [&](const JpegSegment &s) {
        if (s.marker != 0xE1 || s.length < 2 + sizeof kExif || s.body() + sizeof kExif > size ||
            std::memcmp(d + s.body(), kExif, sizeof kExif) != 0)
            return true;
        at = static_cast<std::size_t>(s.body()) + sizeof kExif;
        bytes = static_cast<std::size_t>(std::min<u64>(s.end(), size)) - at;
        found = true;
        return false;
    });
    return found;
}

} // namespace

ExifFacts readExif(const BYTE *data, std::size_t size) noexcept {
    if (!data)
        return {};
    if (startsAsJpeg(data, size)) {
        std::size_t at = 0, bytes = 0;
        if (!exifSegment(data, size, at, bytes))
            return {};
        return factsOf(data + at, bytes, at, true);
    }
    // A TIFF file is its own EXIF block; its pictures carry no JPEG thumbnail.
    return factsOf(data, size, 0, false);
}

} // namespace vistoro
