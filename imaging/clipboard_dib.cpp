#include "imaging/clipboard_dib.h"

#include "imaging/dib_info.h"
#include "imaging/paint.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace vistoro {

namespace {

// The bitmap's pixels as 32-bit bottom-up rows, alpha straightened.
std::optional<std::vector<std::uint32_t>> straightPixels(HBITMAP bitmap, long width, long height) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    BITMAPINFO info = rgb32Info(width, height, RowOrder::BottomUp);
    const WindowDC screen(nullptr);
    if (::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), px.data(), &info,
                    DIB_RGB_COLORS) != height)
        return std::nullopt;
    const bool alpha = HASALPHA(bitmap);
    for (std::uint32_t &p : px) {
        const std::uint32_t a = p >> 24;
        if (!alpha || a == 255) {
            p |= 0xFF000000u;
            continue;
        }
        if (a == 0) {
            p = 0;
            continue;
        }
        std::uint32_t straight = a << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::uint32_t c = (p >> shift) & 0xFF;
            const std::uint32_t s = (c * 255 + a / 2) / a;
            straight |= (s > 255 ? 255 : s) << shift;
        }
        p = straight;
    }
    return px;
}

// A movable block of the header, then the rows.
UniqueGlobal packed(const void *header, std::size_t headerBytes,
                    const std::vector<std::uint32_t> &px) {
    const std::size_t rows = px.size() * sizeof px[0];
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, headerBytes + rows));
    if (!block)
        return {};
    GlobalLockGuard lock(block.get());
    if (!lock.get())
        return {};
    auto *at = static_cast<BYTE *>(lock.get());
    std::memcpy(at, header, headerBytes);
    std::memcpy(at + headerBytes, px.data(), rows);
    return block;
}

} // namespace

std::optional<ClipboardDibs> clipboardDibs(HBITMAP bitmap) {
    const long width = NBMPWIDTH(bitmap), height = NBMPHEIGHT(bitmap);
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const auto px = straightPixels(bitmap, width, height);
    if (!px)
        return std::nullopt;
    const DWORD rows = static_cast<DWORD>(px->size() * 4);

    BITMAPV5HEADER v5{};
    v5.bV5Size = sizeof v5;
    v5.bV5Width = width;
    v5.bV5Height = height; // bottom-up
    v5.bV5Planes = 1;
    v5.bV5BitCount = 32;
    v5.bV5Compression = BI_BITFIELDS;
    v5.bV5SizeImage = rows;
    v5.bV5RedMask = 0x00FF0000;
    v5.bV5GreenMask = 0x0000FF00;
    v5.bV5BlueMask = 0x000000FF;
    v5.bV5AlphaMask = 0xFF000000;
    v5.bV5CSType = 0x73524742; // LCS_sRGB, "sRGB", spelt out: the header writes it as a multi-character constant
    v5.bV5Intent = LCS_GM_IMAGES;
    BITMAPINFOHEADER plain = rgb32Info(width, height, RowOrder::BottomUp).bmiHeader;
    plain.biSizeImage = rows;

    ClipboardDibs dibs{packed(&v5, sizeof v5, *px), packed(&plain, sizeof plain, *px)};
    if (!dibs.v5 || !dibs.plain)
        return std::nullopt;
    return dibs;
}

} // namespace vistoro
