#include "imaging/metafile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vistoro {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::size_t kWmfHeaderBytes = 18;

std::uint16_t word(const BYTE *p) noexcept { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t dword(const BYTE *p) noexcept {
    return static_cast<std::uint32_t>(word(p)) | static_cast<std::uint32_t>(word(p + 2)) << 16;
}
void putWord(std::vector<BYTE> &out, std::uint16_t v) {
    out.push_back(static_cast<BYTE>(v & 0xFF));
    out.push_back(static_cast<BYTE>(v >> 8));
}

// Whether the records run from the header to the end-of-file record, each
// of a sane size and inside the data. Playback code trusts these sizes, so
// a broken chain is refused before it is played.
bool enhancedChainIsWhole(const BYTE *data, std::size_t size) noexcept {
    constexpr std::uint32_t kEndOfFile = 14;
    for (std::size_t at = 0; at + 8 <= size;) {
        const std::uint32_t type = dword(data + at), bytes = dword(data + at + 4);
        if (bytes < 8 || bytes % 4 != 0 || bytes > size - at || (at == 0 && bytes < 88))
            return false;
        if (type == kEndOfFile)
            return true;
        at += bytes;
    }
    return false;
}

bool windowsChainIsWhole(const BYTE *data, std::size_t size) noexcept {
    if (size < kWmfHeaderBytes || word(data + 2) != 9)
        return false;
    for (std::size_t at = kWmfHeaderBytes; at + 6 <= size;) {
        const std::uint32_t words = dword(data + at);
        if (words < 3 || words > (size - at) / 2)
            return false;
        if (word(data + at + 4) == 0) // the end-of-file record
            return true;
        at += static_cast<std::size_t>(words) * 2;
    }
    return false;
}

bool chainIsWhole(MetafileKind kind, const BYTE *data, std::size_t size) noexcept {
    switch (kind) {
    case MetafileKind::enhanced:
        return enhancedChainIsWhole(data, size);
    case MetafileKind::placeable:
        return windowsChainIsWhole(data + 22, size - 22);
    case MetafileKind::plainWmf:
        return windowsChainIsWhole(data, size);
    case MetafileKind::none:
        break;
    }
    return false;
}

// Decodes a metafile image from bytes with the service's general loader.
UniqueGpImage loadMetafile(const BYTE *data, std::size_t size) {
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return {};
    {
        GlobalLockGuard lock(block.get());
        if (!lock.get())
            return {};
        std::memcpy(lock.get(), data, size);
    }
    UniqueStream stream;
    if (::CreateStreamOnHGlobal(block.get(), TRUE, stream.put()) != S_OK) {
        stream.release();
        return {};
    }
    block.release();
    UniqueGpImage image;
    if (gp::GdipLoadImageFromStream(stream.get(), image.put()) != Gdiplus::Ok)
        image.release();
    return image;
}

// The metafile drawn at its own size into a new transparent bitmap.
UniqueGpBitmap drawAtOwnSize(Gdiplus::GpImage *picture) {
    UINT width = 0, height = 0;
    if (gp::GdipGetImageWidth(picture, &width) != Gdiplus::Ok ||
        gp::GdipGetImageHeight(picture, &height) != Gdiplus::Ok || width == 0 || height == 0)
        return {};
    UniqueGpBitmap bitmap;
    if (gp::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0,
                                      PixelFormat32bppPARGB, nullptr,
                                      bitmap.put()) != Gdiplus::Ok) {
        bitmap.release();
        return {};
    }
    UniqueGpGraphics graphics;
    if (gp::GdipGetImageGraphicsContext(bitmap.get(), graphics.put()) != Gdiplus::Ok) {
        graphics.release();
        return {};
    }
    if (gp::GdipDrawImageRectI(graphics.get(), picture, 0, 0, static_cast<INT>(width),
                               static_cast<INT>(height)) != Gdiplus::Ok)
        return {};
    return bitmap;
}

} // namespace

MetafileKind metafileKindOf(const BYTE *data, std::size_t size) noexcept {
    if (size >= 22 && dword(data) == kPlaceableKey)
        return MetafileKind::placeable;
    // EMR_HEADER record first, with the signature at offset 40.
    if (size >= 88 && dword(data) == 1 && dword(data + 40) == kEmfSignature)
        return MetafileKind::enhanced;
    // Memory or disk metafile, a nine-word header, version 1 or 3.
    if (size >= kWmfHeaderBytes && (word(data) == 1 || word(data) == 2) && word(data + 2) == 9 &&
        (word(data + 4) == 0x0100 || word(data + 4) == 0x0300))
        return MetafileKind::plainWmf;
    return MetafileKind::none;
}

std::optional<std::vector<BYTE>> placeableHeaderFor(const BYTE *data, std::size_t size) {
    std::optional<std::int16_t> orgX, orgY, extX, extY;
    // Records: a 32-bit size in words, a 16-bit function, then parameters
    // (for the window calls: y first, then x).
    for (std::size_t at = kWmfHeaderBytes; at + 6 <= size;) {
        const std::uint32_t words = dword(data + at);
        const std::uint16_t function = word(data + at + 4);
        if (words < 3 || function == 0 || words > (size - at) / 2)
            break;
        if ((function == kSetWindowOrg || function == kSetWindowExt) && words >= 5) {
            auto y = static_cast<std::int16_t>(word(data + at + 6));
            auto x = static_cast<std::int16_t>(word(data + at + 8));
            if (function == kSetWindowOrg && !orgX) {
                orgX = x;
                orgY = y;
            } else if (function == kSetWindowExt && !extX) {
                extX = x;
                extY = y;
            }
        }
        at += static_cast<std::size_t>(words) * 2;
    }
    if (!extX || *extX == 0 || *extY == 0)
        return std::nullopt;
    const int left = orgX.value_or(0), top = orgY.value_or(0);
    const int right = left + *extX, bottom = top + *extY;
    std::vector<BYTE> header;
    putWord(header, static_cast<std::uint16_t>(kPlaceableKey & 0xFFFF));
    putWord(header, static_cast<std::uint16_t>(kPlaceableKey >> 16));
    putWord(header, 0); // no handle
    putWord(header, static_cast<std::uint16_t>(std::min(left, right)));
    putWord(header, static_cast<std::uint16_t>(std::min(top, bottom)));
    putWord(header, static_cast<std::uint16_t>(std::max(left, right)));
    putWord(header, static_cast<std::uint16_t>(std::max(top, bottom)));
    putWord(header, 96); // logical units per inch: one unit is one pixel
    putWord(header, 0);
    putWord(header, 0);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < header.size(); i += 2)
        sum ^= word(header.data() + i);
    putWord(header, sum);
    return header;
}

UniqueGpBitmap bitmapFromMetafile(IStream *stream) {
    HGLOBAL block = nullptr;
    if (::GetHGlobalFromStream(stream, &block) != S_OK)
        return {};
    MetafileKind kind;
    std::vector<BYTE> wrapped; // a plain metafile behind a placeable header
    {
        const std::size_t size = ::GlobalSize(block);
        GlobalLockGuard lock(block);
        const auto *data = static_cast<const BYTE *>(lock.get());
        if (!data)
            return {};
        kind = metafileKindOf(data, size);
        if (!chainIsWhole(kind, data, size))
            return {};
        if (kind == MetafileKind::plainWmf) {
            auto header = placeableHeaderFor(data, size);
            if (!header)
                return {};
            wrapped = std::move(*header);
            wrapped.insert(wrapped.end(), data, data + size);
        }
    }
    UniqueGpImage picture;
    if (kind == MetafileKind::enhanced || kind == MetafileKind::placeable) {
        LARGE_INTEGER start{};
        if (stream->Seek(start, STREAM_SEEK_SET, nullptr) != S_OK)
            return {};
        if (gp::GdipLoadImageFromStream(stream, picture.put()) != Gdiplus::Ok)
            picture.release();
    } else if (kind == MetafileKind::plainWmf) {
        picture = loadMetafile(wrapped.data(), wrapped.size());
    }
    if (!picture)
        return {};
    return drawAtOwnSize(picture.get());
}

} // namespace vistoro
