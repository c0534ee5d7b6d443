#include "imaging/wmf_check.h"

#include "imaging/byte_order.h"
#include "imaging/dib_layout.h"
#include "imaging/metafile_objects.h"

#include <cstdint>
#include <vector>

namespace vistoro {

namespace {

using u64 = std::uint64_t;

// Functions, as the format numbers them.
enum : std::uint16_t {
    metaEof = 0x0000,
    metaRealizePalette = 0x0035,
    metaSetPalEntries = 0x0037,
    metaSelectClipRegion = 0x012C,
    metaSelectObject = 0x012D,
    metaInvertRegion = 0x012A,
    metaPaintRegion = 0x012B,
    metaDibCreatePatternBrush = 0x0142,
    metaDeleteObject = 0x01F0,
    metaCreatePatternBrush = 0x01F9,
    metaFillRegion = 0x0228,
    metaSelectPalette = 0x0234,
    metaCreatePenIndirect = 0x02FA,
    metaCreateFontIndirect = 0x02FB,
    metaCreateBrushIndirect = 0x02FC,
    metaPolygon = 0x0324,
    metaPolyline = 0x0325,
    metaFrameRegion = 0x0429,
    metaTextOut = 0x0521,
    metaPolyPolygon = 0x0538,
    metaEscape = 0x0626,
    metaCreateRegion = 0x06FF,
    metaBitBlt = 0x0922,
    metaDibBitBlt = 0x0940,
    metaExtTextOut = 0x0A32,
    metaStretchBlt = 0x0B23,
    metaDibStretchBlt = 0x0B41,
    metaSetDibToDev = 0x0D33,
    metaStretchDib = 0x0F43,
    metaCreatePalette = 0x00F7,
};

// One record: its parameters are the words after the six-byte head.
class WmfRecord {
  public:
    WmfRecord(const BYTE *p, u64 words) noexcept : p_(p), params_(words - 3) {}
    std::uint16_t function() const noexcept { return le16(p_ + 4); }
    u64 params() const noexcept { return params_; }
    bool has(u64 n) const noexcept { return n <= params_; }
    std::uint16_t param(u64 i) const noexcept { return le16(p_ + 6 + i * 2); }
    const BYTE *paramBytes(u64 i) const noexcept { return p_ + 6 + i * 2; }
    u64 paramBytesFrom(u64 i) const noexcept { return (params_ - i) * 2; }
    // A packed bitmap from parameter `i` to the end of the record.
    bool bitmapFrom(u64 i, bool paletteIndexes) const noexcept {
        return has(i + 2) &&
               packedBitmapFits(paramBytes(i), paramBytesFrom(i), nullptr, 0, paletteIndexes);
    }

  private:
    const BYTE *p_;
    u64 params_;
};

// The object table as the players fill it: each new object takes the
// lowest free slot; a full table drops it.
class ObjectTable {
  public:
    explicit ObjectTable(std::uint16_t slots) : used_(slots, false) {}
    void create() {
        for (auto &&slot : used_)
            if (!slot) {
                slot = true;
                return;
            }
    }
    bool valid(std::uint16_t index) const noexcept { return index < used_.size(); }
    bool remove(std::uint16_t index) {
        if (!valid(index))
            return false;
        used_[index] = false;
        return true;
    }

  private:
    std::vector<bool> used_;
};

bool windowsRecordIsSound(const WmfRecord &r, ObjectTable &objects) {
    switch (r.function()) {
    case metaSelectObject:
    case metaInvertRegion:
    case metaPaintRegion:
    case metaSelectClipRegion:
        return r.has(1) && objects.valid(r.param(0));
    case metaDeleteObject:
        return r.has(1) && objects.remove(r.param(0));
    case metaSelectPalette:
        return r.has(2) && objects.valid(r.param(1));
    case metaFillRegion:
        return r.has(2) && objects.valid(r.param(0)) && objects.valid(r.param(1));
    case metaFrameRegion:
        return r.has(4) && objects.valid(r.param(2)) && objects.valid(r.param(3));
    case metaCreatePenIndirect:
        if (!r.has(5))
            return false;
        objects.create();
        return true;
    case metaCreateBrushIndirect:
        if (!r.has(4) || !plainBrushStyle(r.param(0)))
            return false;
        objects.create();
        return true;
    case metaCreateFontIndirect:
        // The face name is copied whole, 32 bytes after the nine fields.
        if (!r.has(9 + 16))
            return false;
        objects.create();
        return true;
    case metaCreatePalette:
        if (!r.has(2) || !r.has(2 + u64{r.param(1)} * 2))
            return false;
        objects.create();
        return true;
    case metaCreateRegion: {
        // Eleven words of header (band count at word 5), then bands of
        // a count, two edges, the x pairs and the count again.
        if (!r.has(11))
            return false;
        u64 at = 11;
        for (std::uint16_t band = 0; band < r.param(5); ++band) {
            if (!r.has(at + 1))
                return false;
            const std::uint16_t n = r.param(at);
            if (n % 2 != 0 || !r.has(at + 3 + n + 1) || r.param(at + 3 + n) != n)
                return false;
            at += 3 + n + 1;
        }
        objects.create();
        return true;
    }
    case metaDibCreatePatternBrush:
        if (!r.bitmapFrom(2, r.has(2) && r.param(1) == DIB_PAL_COLORS))
            return false;
        objects.create();
        return true;
    case metaCreatePatternBrush:
        return false; // an obsolete form whose bits are read unchecked
    case metaPolygon:
    case metaPolyline:
        return r.has(1) && r.has(1 + u64{r.param(0)} * 2);
    case metaPolyPolygon: {
        if (!r.has(1) || !r.has(1 + u64{r.param(0)}))
            return false;
        u64 points = 0;
        for (std::uint16_t i = 0; i < r.param(0); ++i) {
            const auto count = static_cast<std::int16_t>(r.param(1 + i));
            if (count < 0)
                return false;
            points += static_cast<u64>(count);
        }
        return r.has(1 + u64{r.param(0)} + points * 2);
    }
    case metaTextOut: {
        if (!r.has(1))
            return false;
        const auto length = static_cast<std::int16_t>(r.param(0));
        return length >= 0 && r.has(1 + (u64(length) + 1) / 2 + 2);
    }
    case metaExtTextOut: {
        if (!r.has(4))
            return false;
        const u64 rect = (r.param(3) & (ETO_OPAQUE | ETO_CLIPPED)) ? 4 : 0;
        return r.has(4 + rect + (u64{r.param(2)} + 1) / 2);
    }
    case metaEscape: {
        constexpr std::uint16_t kComment = 15, kCommentMagic0 = 0x4D57; // "WM" of "WMFC"
        if (!r.has(2) || !r.has(2 + (u64{r.param(1)} + 1) / 2))
            return false;
        // An embedded enhanced metafile is rebuilt from its chunks without
        // checking them against the record: such files are refused.
        if (r.param(0) == kComment && r.param(1) >= 4 && r.param(2) == kCommentMagic0 &&
            r.param(3) == 0x4346)
            return false;
        return true;
    }
    case metaDibBitBlt:
        // Without a bitmap the record is six words of a pattern fill.
        return r.params() <= 9 || r.bitmapFrom(8, false);
    case metaDibStretchBlt:
        return r.bitmapFrom(10, false);
    case metaStretchDib:
        return r.bitmapFrom(11, r.has(3) && r.param(2) == DIB_PAL_COLORS);
    case metaSetDibToDev:
        return r.bitmapFrom(9, r.has(1) && r.param(0) == DIB_PAL_COLORS);
    case metaBitBlt:
    case metaStretchBlt: {
        // The old device-dependent form: width, height, row bytes, planes
        // and bits per pixel, then the bits.
        const u64 first = r.function() == metaBitBlt ? 7 : 10;
        if (!r.has(first + 5))
            return false;
        const u64 width = r.param(first), height = r.param(first + 1);
        const u64 planes = r.param(first + 3), bits = r.param(first + 4);
        return r.has(first + 5 + ddbStride(bits, width) * height * planes / 2);
    }
    default:
        return true;
    }
}

} // namespace

bool windowsMetafileIsSound(const BYTE *data, std::size_t size) noexcept {
    if (size < kWmfHeaderBytes || le16(data + 2) != 9)
        return false;
    // The loaders read the size in words that the header gives, and play
    // just that much.
    const u64 total = u64{le32(data + 6)} * 2;
    if (total < kWmfHeaderBytes || total > size)
        return false;
    ObjectTable objects(le16(data + 10));
    try {
        for (u64 at = kWmfHeaderBytes; at < total;) {
            if (total - at < 6)
                return false;
            const u64 words = le32(data + at);
            if (words < 3 || words > (total - at) / 2)
                return false;
            const WmfRecord r(data + at, words);
            if (r.function() == metaEof)
                return true;
            if (!windowsRecordIsSound(r, objects))
                return false;
            at += words * 2;
        }
    } catch (...) {
        return false; // the table could not be had
    }
    return false; // no end-of-file record
}

} // namespace vistoro
