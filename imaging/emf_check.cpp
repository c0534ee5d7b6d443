#include "imaging/emf_check.h"

#include "imaging/byte_order.h"
#include "imaging/dib_layout.h"
#include "imaging/metafile_objects.h"

namespace vistoro {

namespace {

using u64 = std::uint64_t;

constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45; // "EMF+"

// Record types, as the format numbers them.
enum : std::uint32_t {
    emrHeader = kEmfHeaderRecord,
    emrPolyBezier = 2,
    emrPolygon = 3,
    emrPolyline = 4,
    emrPolyBezierTo = 5,
    emrPolylineTo = 6,
    emrPolyPolyline = 7,
    emrPolyPolygon = 8,
    emrEof = 14,
    emrSelectObject = 37,
    emrCreatePen = 38,
    emrCreateBrushIndirect = 39,
    emrDeleteObject = 40,
    emrSelectPalette = 48,
    emrCreatePalette = 49,
    emrSetPaletteEntries = 50,
    emrResizePalette = 51,
    emrPolyDraw = 56,
    emrGdiComment = 70,
    emrFillRgn = 71,
    emrFrameRgn = 72,
    emrInvertRgn = 73,
    emrPaintRgn = 74,
    emrExtSelectClipRgn = 75,
    emrBitBlt = 76,
    emrStretchBlt = 77,
    emrMaskBlt = 78,
    emrPlgBlt = 79,
    emrSetDIBitsToDevice = 80,
    emrStretchDIBits = 81,
    emrExtCreateFontIndirectW = 82,
    emrExtTextOutA = 83,
    emrExtTextOutW = 84,
    emrPolyBezier16 = 85,
    emrPolygon16 = 86,
    emrPolyline16 = 87,
    emrPolyBezierTo16 = 88,
    emrPolylineTo16 = 89,
    emrPolyPolyline16 = 90,
    emrPolyPolygon16 = 91,
    emrPolyDraw16 = 92,
    emrCreateMonoBrush = 93,
    emrCreateDibPatternBrushPt = 94,
    emrExtCreatePen = 95,
    emrPolyTextOutA = 96,
    emrPolyTextOutW = 97,
    emrCreateColorSpace = 99,
    emrSetColorSpace = 100,
    emrDeleteColorSpace = 101,
    emrAlphaBlend = 114,
    emrTransparentBlt = 116,
    emrGradientFill = 118,
    emrCreateColorSpaceW = 122,
    emrLastType = 122,
};

// One record of an enhanced metafile, whose size is already known to lie
// inside the data; every question is answered in 64-bit arithmetic.
class EmfRecord {
  public:
    EmfRecord(const BYTE *p, std::uint32_t size, std::uint32_t handles) noexcept
        : p_(p), size_(size), handles_(handles) {}
    std::uint32_t type() const noexcept { return le32(p_); }
    bool has(u64 bytes) const noexcept { return bytes <= size_; }
    std::uint32_t at(std::uint32_t offset) const noexcept { return le32(p_ + offset); }
    std::uint16_t at16(std::uint32_t offset) const noexcept { return le16(p_ + offset); }
    // A run of `count` items of `each` bytes from `offset`, inside the record.
    bool holds(u64 offset, u64 count, u64 each) const noexcept {
        return offset <= size_ && count <= size_ && count * each <= size_ - offset;
    }
    // A slot a record creates an object in: 1 up to the header's count
    // (slot 0 stands for the metafile itself).
    bool newSlot(std::uint32_t offset) const noexcept {
        return has(offset + 4) && at(offset) >= 1 && at(offset) < handles_;
    }
    // An object a record uses: a slot of the table, or a stock object.
    bool usedSlot(std::uint32_t offset) const noexcept {
        if (!has(offset + 4))
            return false;
        const std::uint32_t ih = at(offset);
        return (ih & 0x80000000u) ? (ih & 0x7FFFFFFFu) <= STOCK_LAST : ih < handles_;
    }
    // A bitmap given by the offsets and sizes of its header and its bits
    // (four fields from `fields`); an offset of 0 means none when optional.
    bool bitmap(std::uint32_t fields, bool optional, std::uint32_t usageAt) const noexcept {
        if (!has(u64{fields} + 16) || !has(u64{usageAt} + 4))
            return false;
        const std::uint32_t offBmi = at(fields), cbBmi = at(fields + 4);
        const std::uint32_t offBits = at(fields + 8), cbBits = at(fields + 12);
        if (optional && offBmi == 0)
            return true;
        if (offBmi < 8 || !holds(offBmi, cbBmi, 1) || offBits < 8 || !holds(offBits, cbBits, 1))
            return false;
        return packedBitmapFits(p_ + offBmi, cbBmi, p_ + offBits, cbBits,
                                at(usageAt) == DIB_PAL_COLORS);
    }
    // Region data of `bytes` bytes at `offset`: header, then rectangles.
    bool region(u64 offset, std::uint32_t bytes) const noexcept {
        if (bytes < 32 || !holds(offset, bytes, 1))
            return false;
        const BYTE *r = p_ + offset;
        const std::uint32_t headerBytes = le32(r), rects = le32(r + 8);
        return headerBytes >= 32 && headerBytes <= bytes &&
               u64{rects} * 16 <= u64{bytes} - headerBytes;
    }
    // Poly records: bounds, a count of points, then the points.
    bool points(u64 pointBytes) const noexcept { return has(28) && holds(28, at(24), pointBytes); }
    // Poly-poly records: bounds, a polygon count, a point count, the
    // polygon counts, then the points; the counts share out the points.
    bool polyPoints(u64 pointBytes) const noexcept {
        if (!has(32))
            return false;
        const std::uint32_t polys = at(24), total = at(28);
        if (!holds(32, polys, 4) || !holds(32 + u64{polys} * 4, total, pointBytes))
            return false;
        u64 sum = 0;
        for (std::uint32_t i = 0; i < polys; ++i)
            sum += at(32 + i * 4);
        return sum <= total;
    }
    // One text item (40 bytes at `item`): its string and spacing array.
    // The players read a spacing array at offset 0 for some records.
    bool text(u64 item, u64 charBytes, bool spacingAlways) const noexcept {
        if (!has(item + 40))
            return false;
        const auto base = static_cast<std::uint32_t>(item);
        const std::uint32_t chars = at(base + 8), offString = at(base + 12);
        const std::uint32_t options = at(base + 16), offDx = at(base + 36);
        if (!holds(offString, chars, charBytes))
            return false;
        if (offDx == 0 && !spacingAlways)
            return true;
        return holds(offDx, chars, (options & ETO_PDY) ? 8 : 4);
    }
    const BYTE *bytes() const noexcept { return p_; }
    std::uint32_t size() const noexcept { return size_; }

  private:
    const BYTE *p_;
    std::uint32_t size_, handles_;
};

// Records of the extended format carried in comments: a type, flags, a
// size and a data size each; the data sizes drive the platform's parsers.
bool extendedRecordsHoldTogether(const BYTE *data, std::uint32_t bytes) noexcept {
    constexpr std::uint16_t kFirstType = 0x4001, kLastType = 0x403A;
    constexpr std::uint16_t kSave = 0x4025, kRestore = 0x4026, kBeginContainer = 0x4027;
    constexpr std::uint16_t kBeginContainerNoParams = 0x4028, kEndContainer = 0x4029;
    constexpr std::uint16_t kDrawDriverString = 0x4036;
    std::uint32_t at = 4; // after the signature
    while (at < bytes) {
        if (bytes - at < 12)
            return false;
        const BYTE *r = data + at;
        const std::uint16_t type = le16(r);
        const std::uint32_t size = le32(r + 4), dataSize = le32(r + 8);
        if (type < kFirstType || type > kLastType || size < 12 || size % 4 != 0 ||
            size > bytes - at || dataSize > size - 12)
            return false;
        switch (type) {
        case kSave:
        case kRestore:
        case kBeginContainerNoParams:
        case kEndContainer:
            if (dataSize < 4)
                return false;
            break;
        case kBeginContainer:
            if (dataSize < 36)
                return false;
            break;
        case kDrawDriverString: {
            // Brush, options, matrix flag, glyph count (the font is in the
            // flags); then two bytes a glyph, eight a position, and the
            // matrix when the flag says so.
            if (dataSize < 16)
                return false;
            const u64 matrix = le32(r + 12 + 8) != 0 ? 24 : 0;
            if (u64{le32(r + 12 + 12)} * 10 + 16 + matrix > dataSize)
                return false;
            break;
        }
        default:
            break;
        }
        at += size;
    }
    return true;
}

bool enhancedRecordIsSound(const EmfRecord &r) noexcept {
    switch (r.type()) {
    case emrPolyBezier:
    case emrPolygon:
    case emrPolyline:
    case emrPolyBezierTo:
    case emrPolylineTo:
        return r.points(8);
    case emrPolyBezier16:
    case emrPolygon16:
    case emrPolyline16:
    case emrPolyBezierTo16:
    case emrPolylineTo16:
        return r.points(4);
    case emrPolyDraw:
        return r.points(9); // a point and a type byte each
    case emrPolyDraw16:
        return r.points(5);
    case emrPolyPolyline:
    case emrPolyPolygon:
        return r.polyPoints(8);
    case emrPolyPolyline16:
    case emrPolyPolygon16:
        return r.polyPoints(4);
    case emrSelectObject:
    case emrDeleteObject:
    case emrSelectPalette:
    case emrSetColorSpace:
    case emrDeleteColorSpace:
        return r.usedSlot(8);
    case emrCreatePen:
        return r.has(28) && r.newSlot(8) && r.at(16) <= kWidestPen;
    case emrCreateBrushIndirect:
        return r.has(24) && r.newSlot(8) && plainBrushStyle(r.at(12));
    case emrCreatePalette:
        return r.has(16) && r.newSlot(8) && r.holds(16, r.at16(14), 4);
    case emrSetPaletteEntries:
        return r.has(20) && r.usedSlot(8) && r.holds(20, r.at(16), 4);
    case emrResizePalette:
        return r.has(16) && r.usedSlot(8);
    case emrExtCreateFontIndirectW:
        return r.has(12 + sizeof(LOGFONTW)) && r.newSlot(8);
    case emrCreateColorSpace:
    case emrCreateColorSpaceW:
        return r.has(12 + sizeof(LOGCOLORSPACEA)) && r.newSlot(8);
    case emrExtCreatePen:
        // Its bitmap fields are not played; the pattern styles would make
        // the hatch a handle or a pointer.
        return r.has(52) && r.newSlot(8) && r.at(32) <= kWidestPen && plainBrushStyle(r.at(36)) &&
               r.holds(52, r.at(48), 4);
    case emrCreateMonoBrush:
    case emrCreateDibPatternBrushPt:
        return r.has(32) && r.newSlot(8) && r.bitmap(16, false, 12);
    case emrBitBlt:
        return r.has(100) && r.bitmap(84, true, 80);
    case emrStretchBlt:
    case emrAlphaBlend:
    case emrTransparentBlt:
        return r.has(108) && r.bitmap(84, true, 80);
    case emrMaskBlt:
        // Source and mask are both played, whatever their offsets.
        return r.has(128) && r.bitmap(84, false, 80) && r.bitmap(112, false, 108);
    case emrPlgBlt:
        return r.has(140) && r.bitmap(96, false, 92) && r.bitmap(124, false, 120);
    case emrSetDIBitsToDevice:
        return r.has(76) && r.bitmap(48, false, 64);
    case emrStretchDIBits:
        return r.has(80) && r.bitmap(48, false, 64);
    case emrExtTextOutA:
        return r.text(36, 1, false);
    case emrExtTextOutW:
        return r.text(36, 2, false);
    case emrPolyTextOutA:
    case emrPolyTextOutW: {
        if (!r.has(40) || !r.holds(40, r.at(36), 40))
            return false;
        for (std::uint32_t i = 0; i < r.at(36); ++i)
            if (!r.text(40 + u64{i} * 40, r.type() == emrPolyTextOutA ? 1 : 2, true))
                return false;
        return true;
    }
    case emrExtSelectClipRgn:
        // A record too short for a region clears the clip instead.
        return !r.has(16 + 32) || r.region(16, r.size() - 16);
    case emrFillRgn:
        return r.has(32) && r.usedSlot(28) && r.region(32, r.at(24));
    case emrFrameRgn:
        return r.has(40) && r.usedSlot(28) && r.region(40, r.at(24));
    case emrInvertRgn:
    case emrPaintRgn:
        return r.has(28) && r.region(28, r.at(24));
    case emrGdiComment: {
        if (!r.has(12) || !r.holds(12, r.at(8), 1))
            return false;
        const std::uint32_t bytes = r.at(8);
        if (bytes >= 4 && le32(r.bytes() + 12) == kEmfPlusSignature)
            return extendedRecordsHoldTogether(r.bytes() + 12, bytes);
        return true;
    }
    case emrGradientFill: {
        if (!r.has(36))
            return false;
        const std::uint32_t vertices = r.at(24), shapes = r.at(28), mode = r.at(32);
        const u64 each = mode == GRADIENT_FILL_TRIANGLE ? 12 : 8;
        if (!r.holds(36, vertices, 16) || !r.holds(36 + u64{vertices} * 16, shapes, each))
            return false;
        // Every index of every shape names a vertex.
        const u64 first = 36 + u64{vertices} * 16;
        for (u64 i = 0; i < u64{shapes} * (each / 4); ++i)
            if (r.at(static_cast<std::uint32_t>(first + i * 4)) >= vertices)
                return false;
        return true;
    }
    default:
        return true;
    }
}

} // namespace

bool enhancedMetafileIsSound(const BYTE *data, std::size_t size) noexcept {
    if (size < 88 || le32(data) != emrHeader || le32(data + 40) != kEmfSignature)
        return false;
    const std::uint32_t headerSize = le32(data + 4), total = le32(data + 48);
    const std::uint32_t handles = le16(data + 56);
    // Slot 0 of the object table is written whatever the count says.
    if (headerSize < 88 || headerSize % 4 != 0 || total % 4 != 0 || total > size ||
        headerSize > total || handles < 1)
        return false;
    // The description: its count of wide characters, then where it starts.
    const std::uint32_t descChars = le32(data + 60), descAt = le32(data + 64);
    if (descChars && (descAt > headerSize || u64{descChars} * 2 > headerSize - descAt))
        return false;
    if (headerSize >= 108) {
        const std::uint32_t formatBytes = le32(data + 88), formatAt = le32(data + 92);
        if (formatBytes && (formatAt > headerSize || formatBytes > headerSize - formatAt))
            return false;
    }
    for (std::uint32_t at = headerSize; at < total;) {
        if (total - at < 8)
            return false;
        const std::uint32_t type = le32(data + at), bytes = le32(data + at + 4);
        if (bytes < 8 || bytes % 4 != 0 || bytes > total - at || type == emrHeader ||
            type > emrLastType || type == 0)
            return false;
        if (type == emrEof)
            return true;
        if (!enhancedRecordIsSound(EmfRecord(data + at, bytes, handles)))
            return false;
        at += bytes;
    }
    return false; // no end-of-file record
}

} // namespace vistoro
