#include "imaging/metafile.h"

#include "imaging/byte_order.h"
#include "imaging/metafile_check.h"
#include "imaging/picture_limits.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vistoro {

namespace {

constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetWindowExt = 0x020C;

void putWord(std::vector<BYTE> &out, std::uint16_t v) {
    out.push_back(static_cast<BYTE>(v & 0xFF));
    out.push_back(static_cast<BYTE>(v >> 8));
}

// The metafile drawn at its own size into a new transparent bitmap.
UniqueGpBitmap drawAtOwnSize(Gdiplus::GpImage *picture) {
    UINT width = 0, height = 0;
    if (gp::GdipGetImageWidth(picture, &width) != Gdiplus::Ok ||
        gp::GdipGetImageHeight(picture, &height) != Gdiplus::Ok || !pictureFits(width, height))
        return {};
    UniqueGpBitmap bitmap;
    if (!bitmap.fill([&](auto *out) {
            return gp::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height),
                                                 0, PixelFormat32bppPARGB, nullptr,
                                                 out) == Gdiplus::Ok;
        })) {
        return {};
    }
    UniqueGpGraphics graphics;
    if (!graphics.fill([&](auto *out) {
            return gp::GdipGetImageGraphicsContext(bitmap.get(), out) == Gdiplus::Ok;
        })) {
        return {};
    }
    if (gp::GdipDrawImageRectI(graphics.get(), picture, 0, 0, static_cast<INT>(width),
                               static_cast<INT>(height)) != Gdiplus::Ok)
        return {};
    return bitmap;
}

} // namespace

std::optional<std::vector<BYTE>> placeableHeaderFor(const BYTE *data, std::size_t size) {
    std::optional<std::int16_t> orgX, orgY, extX, extY;
    // Records: a 32-bit size in words, a 16-bit function, then parameters
    // (for the window calls: y first, then x).
    for (std::size_t at = kWmfHeaderBytes; at + 6 <= size;) {
        const std::uint32_t words = le32(data + at);
        const std::uint16_t function = le16(data + at + 4);
        if (words < 3 || function == 0 || words > (size - at) / 2)
            break;
        if ((function == kSetWindowOrg || function == kSetWindowExt) && words >= 5) {
            auto y = static_cast<std::int16_t>(le16(data + at + 6));
            auto x = static_cast<std::int16_t>(le16(data + at + 8));
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
        sum ^= le16(header.data() + i);
    putWord(header, sum);
    return header;
}

UniqueGpBitmap bitmapFromMetafile(const std::shared_ptr<const ByteBlock> &bytes) {
    if (!bytes)
        return {};
    std::shared_ptr<const ByteBlock> playable = bytes;
    switch (metafileKindOf(bytes->data(), bytes->size())) {
    case MetafileKind::none:
        return {};
    case MetafileKind::enhanced:
    case MetafileKind::placeable:
        break;
    case MetafileKind::plainWmf: {
        // The loader takes Windows metafiles only behind a placeable header.
        auto header = placeableHeaderFor(bytes->data(), bytes->size());
        if (!header)
            return {};
        header->insert(header->end(), bytes->data(), bytes->data() + bytes->size());
        playable = ByteBlock::fromBytes(header->data(), header->size());
        break;
    }
    }
    UniqueStream stream = streamOver(playable);
    UniqueGpImage picture;
    if (!stream || !picture.fill([&](auto *out) {
            return gp::GdipLoadImageFromStream(stream.get(), out) == Gdiplus::Ok;
        })) {
        return {};
    }
    return drawAtOwnSize(picture.get());
}

} // namespace vistoro
