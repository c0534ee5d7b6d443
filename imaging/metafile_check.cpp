#include "imaging/metafile_check.h"

#include "imaging/byte_order.h"
#include "imaging/dib_layout.h"

#include <cstdint>
#include <vector>

namespace vistoro {

namespace {

using u64 = std::uint64_t;

constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45; // "EMF+"

// Pens wider than the largest coordinate of a Windows metafile: the
// players widen such a pen's every stroke for minutes.
constexpr std::uint32_t kWidestPen = 0x7FFF;

// Brush styles whose hatch field the players take for a handle or a
// pointer: only solid, hollow and hatched brushes are drawn from a file.
bool plainBrushStyle(std::uint32_t style) noexcept {
    return style == BS_SOLID || style == BS_NULL || style == BS_HATCHED;
}

// ---- Enhanced metafiles -------------------------------------------------

// Record types, as the format numbers them.
enum : std::uint32_t {
    emrHeader = 1,
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
        case kDrawDriverString:
            // Font, brush, options, matrix flag, glyph count; then two
            // bytes a glyph and eight a position.
            if (dataSize < 20 || u64{le32(r + 12 + 16)} * 10 + 20 > dataSize)
                return false;
            break;
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

// ---- Windows metafiles --------------------------------------------------

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
        return has(i + 2) && packedBitmapFits(paramBytes(i), paramBytesFrom(i), nullptr, 0, paletteIndexes);
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

MetafileKind metafileKindOf(const BYTE *data, std::size_t size) noexcept {
    // The platform's loaders take the first two bytes of the placeable key,
    // or a first record of type 1, or the signature at offset 40, for a
    // metafile; each is checked as one here.
    if (size >= 2 && le16(data) == (kPlaceableKey & 0xFFFF))
        return MetafileKind::placeable;
    if ((size >= 4 && le32(data) == emrHeader) || (size >= 44 && le32(data + 40) == kEmfSignature))
        return MetafileKind::enhanced;
    // Memory or disk metafile, a nine-word header, version 1 or 3.
    if (size >= kWmfHeaderBytes && (le16(data) == 1 || le16(data) == 2) && le16(data + 2) == 9 &&
        (le16(data + 4) == 0x0100 || le16(data + 4) == 0x0300))
        return MetafileKind::plainWmf;
    return MetafileKind::none;
}

bool enhancedMetafileIsSound(const BYTE *data, std::size_t size) noexcept {
    if (size < 88 || le32(data) != emrHeader || le32(data + 40) != kEmfSignature)
        return false;
    const std::uint32_t headerSize = le32(data + 4), total = le32(data + 48);
    const std::uint32_t handles = le16(data + 56);
    // Slot 0 of the object table is written whatever the count says.
    if (headerSize < 88 || headerSize % 4 != 0 || total % 4 != 0 || total > size ||
        headerSize > total || handles < 1)
        return false;
    const std::uint32_t descChars = le32(data + 64), descAt = le32(data + 68);
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

bool metafileRecordsHoldTogether(const BYTE *data, std::size_t size) noexcept {
    switch (metafileKindOf(data, size)) {
    case MetafileKind::none:
        return true;
    case MetafileKind::enhanced:
        return enhancedMetafileIsSound(data, size);
    case MetafileKind::placeable:
        return size >= kPlaceableBytes && le32(data) == kPlaceableKey &&
               windowsMetafileIsSound(data + kPlaceableBytes, size - kPlaceableBytes);
    case MetafileKind::plainWmf:
        return windowsMetafileIsSound(data, size);
    }
    return false;
}

} // namespace vistoro
