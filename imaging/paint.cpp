#include "imaging/paint.h"

#include "imaging/dib_readout.h"
#include "base/handles.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace vistoro {

namespace {

constexpr int kDefaultBlendAlpha = 220;

bool bitmapHeader(HBITMAP hBitmap, BITMAP &bm) noexcept {
    // GetObject would fill a BITMAP from any object's record, so the type
    // is checked first.
    return hBitmap && ::GetObjectType(hBitmap) == OBJ_BITMAP &&
           ::GetObjectW(hBitmap, sizeof bm, &bm) == sizeof bm;
}

int screenBitsPerPixel() noexcept {
    WindowDC desktop(::GetDesktopWindow());
    return desktop ? ::GetDeviceCaps(desktop.get(), BITSPIXEL) : 0;
}

// The rows of a 32-bit BI_RGB DIB section without row padding, as they lie
// in memory, after any drawing still queued for the section has landed.
// The header does not tell reliably which end holds the top row, so users
// of a part of the rows must allow for either order.
struct SectionWords {
    const std::uint32_t *words;
    long width, height;
};
std::optional<SectionWords> sectionWords(HBITMAP hBitmap) noexcept {
    DIBSECTION section{};
    if (::GetObjectW(hBitmap, sizeof section, &section) != sizeof section ||
        !section.dsBm.bmBits || section.dsBmih.biBitCount != 32 ||
        section.dsBmih.biCompression != BI_RGB || section.dsBm.bmPlanes != 1 ||
        section.dsBm.bmWidthBytes != section.dsBm.bmWidth * 4 || section.dsBm.bmWidth <= 0 || section.dsBm.bmHeight <= 0)
        return std::nullopt;
    ::GdiFlush();
    return SectionWords{static_cast<const std::uint32_t *>(section.dsBm.bmBits),
                        section.dsBm.bmWidth, section.dsBm.bmHeight};
}

// The alpha test on a section's own rows: the read-out would hand back
// exactly these bytes (possibly in the other row order, which cannot change
// whether any fourth byte is set), so they are walked in place instead of
// being copied. Nothing for other bitmaps.
std::optional<bool> fourthByteInSection(HBITMAP hBitmap) noexcept {
    const auto section = sectionWords(hBitmap);
    if (!section)
        return std::nullopt;
    const std::size_t count =
        static_cast<std::size_t>(section->width) * static_cast<std::size_t>(section->height);
    for (std::size_t i = 0; i < count; ++i)
        if (section->words[i] >> 24)
            return true;
    return false;
}

bool rowsOpaque(const SectionWords &s, long x0, long x1, long y0, long y1) noexcept {
    for (long y = y0; y < y1; ++y) {
        const std::uint32_t *row = s.words + static_cast<std::ptrdiff_t>(y) * s.width;
        std::uint32_t all = 0xFF000000u;
        for (long x = x0; x < x1; ++x)
            all &= row[x];
        if ((all & 0xFF000000u) != 0xFF000000u)
            return false;
    }
    return true;
}

// With constant alpha 255, a premultiplied pixel of alpha 255 blends to
// itself, colour and alpha alike. So where every pixel of the part that the
// context shows is opaque, the blend at the bitmap's own size is a plain
// copy of that part, which the platform does several times faster. True
// when it was copied; false leaves the blend to the caller.
bool copyWhereOpaque(HDC hDC, HDC memory, HBITMAP hBitmap, int nLeft, int nTop) noexcept {
    if (::GetMapMode(hDC) != MM_TEXT || ::GetGraphicsMode(hDC) != GM_COMPATIBLE)
        return false;
    const auto section = sectionWords(hBitmap);
    if (!section)
        return false;
    RECT area{nLeft, nTop, nLeft + static_cast<int>(section->width),
              nTop + static_cast<int>(section->height)};
    RECT clip{};
    const int kind = ::GetClipBox(hDC, &clip);
    if (kind == ERROR)
        return false;
    if (kind == NULLREGION || !::IntersectRect(&area, &area, &clip))
        return true; // nothing of it can be seen
    const long x0 = area.left - nLeft, x1 = area.right - nLeft;
    const long y0 = area.top - nTop, y1 = area.bottom - nTop;
    // The shown rows, counted from either end.
    const long h = section->height;
    if (!rowsOpaque(*section, x0, x1, y0, y1) ||
        ((y0 != h - y1) && !rowsOpaque(*section, x0, x1, h - y1, h - y0)))
        return false;
    return ::BitBlt(hDC, area.left, area.top, area.right - area.left, area.bottom - area.top,
                    memory, x0, y0, SRCCOPY) != FALSE;
}

} // namespace

void PAINTIMG(HDC hDC, HBITMAP hBitmap, int nTop, int nLeft, int nWidth, int nHeight) {
    if (HASALPHA(hBitmap) && ABPAINT(hDC, nLeft, nTop, hBitmap, 255, nWidth, nHeight))
        return;
    // Also when the blend is refused: a bitmap that is not 32-bit may have
    // non-zero fourth bytes, and must still be shown.
    PALBMPDRAW(hDC, nTop, nLeft, hBitmap, nullptr, nWidth, nHeight);
}

bool HASALPHA(HBITMAP hBitmap) {
    if (!hBitmap || ::GetObjectType(hBitmap) != OBJ_BITMAP)
        return false;
    if (screenBitsPerPixel() < 32)
        return false;
    if (const auto inSection = fourthByteInSection(hBitmap))
        return *inSection;
    PackedDib dib = packedDibFromBitmap(hBitmap);
    if (!dib.block)
        return false;
    GlobalLockGuard lock(dib.block.get());
    if (!lock.get())
        return false;
    const BYTE *bits = static_cast<const BYTE *>(lock.get()) + dib.bitsOffset;
    for (DWORD offset = 0; offset + 3 < dib.imageSize; offset += 4)
        if (bits[offset + 3] != 0)
            return true;
    return false;
}

bool paintsEveryPixel(HBITMAP hBitmap) {
    if (!hBitmap || ::GetObjectType(hBitmap) != OBJ_BITMAP)
        return false;
    if (!HASALPHA(hBitmap))
        return true; // copied as it is
    const auto section = sectionWords(hBitmap);
    return section && rowsOpaque(*section, 0, section->width, 0, section->height);
}

void PALBMPDRAW(HDC hDC, int nTop, int nLeft, HBITMAP hBitmap, HPALETTE hPalette, int nWidth,
                int nHeight, DWORD nRop, std::optional<COLORREF> nTransparent) {
    BITMAP bm{};
    if (!hDC || !bitmapHeader(hBitmap, bm))
        return;
    UniqueDC memory(::CreateCompatibleDC(hDC));
    if (!memory)
        return;
    SelectGuard selected(memory.get(), hBitmap);
    PaletteGuard palette(hDC, hPalette);
    const bool stretched =
        nWidth != 0 && nHeight != 0 && (nWidth != bm.bmWidth || nHeight != bm.bmHeight);
    if (nTransparent) {
        StretchModeGuard mode(hDC, COLORONCOLOR);
        ::TransparentBlt(hDC, nLeft, nTop, stretched ? nWidth : bm.bmWidth,
                         stretched ? nHeight : bm.bmHeight, memory.get(), 0, 0, bm.bmWidth,
                         bm.bmHeight, *nTransparent);
    } else if (stretched) {
        // Made smaller in either direction, the picture is filtered;
        // only made larger, each pixel stays a sharp block.
        const bool reduced = std::abs(nWidth) < bm.bmWidth || std::abs(nHeight) < bm.bmHeight;
        StretchModeGuard mode(hDC, reduced ? HALFTONE : COLORONCOLOR);
        std::optional<BrushOriginGuard> origin;
        if (reduced)
            origin.emplace(hDC, 0, 0);
        ::StretchBlt(hDC, nLeft, nTop, nWidth, nHeight, memory.get(), 0, 0, bm.bmWidth,
                     bm.bmHeight, nRop);
    } else {
        ::BitBlt(hDC, nLeft, nTop, bm.bmWidth, bm.bmHeight, memory.get(), 0, 0, nRop);
    }
}

bool ABPAINT(HDC hDC, int nLeft, int nTop, HBITMAP hBitmap, int nAlpha, int nWidth, int nHeight) {
    BITMAP bm{};
    if (!hDC || !bitmapHeader(hBitmap, bm))
        return false;
    UniqueDC memory(::CreateCompatibleDC(hDC));
    if (!memory)
        return false;
    SelectGuard selected(memory.get(), hBitmap);
    BLENDFUNCTION blend{};
    blend.BlendOp = AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha =
        static_cast<BYTE>(std::clamp(nAlpha == 0 ? kDefaultBlendAlpha : nAlpha, 0, 255));
    blend.AlphaFormat = AC_SRC_ALPHA;
    const int width = (nWidth == 0 || nHeight == 0) ? bm.bmWidth : nWidth;
    const int height = (nWidth == 0 || nHeight == 0) ? bm.bmHeight : nHeight;
    if (blend.SourceConstantAlpha == 255 && width == bm.bmWidth && height == bm.bmHeight &&
        copyWhereOpaque(hDC, memory.get(), hBitmap, nLeft, nTop))
        return true;
    return ::AlphaBlend(hDC, nLeft, nTop, width, height, memory.get(), 0, 0, bm.bmWidth,
                        bm.bmHeight, blend) != FALSE;
}

int NBMPWIDTH(HBITMAP hBitmap) {
    BITMAP bm{};
    return bitmapHeader(hBitmap, bm) ? bm.bmWidth : 0;
}

int NBMPHEIGHT(HBITMAP hBitmap) {
    BITMAP bm{};
    return bitmapHeader(hBitmap, bm) ? bm.bmHeight : 0;
}

bool DELETEOBJECT(HGDIOBJ hObject) noexcept {
    if (!hObject || ::GetObjectType(hObject) == 0)
        return false;
    return ::DeleteObject(hObject) != FALSE;
}

} // namespace vistoro
