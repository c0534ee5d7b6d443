// The header for 32-bit BI_RGB rows (no colour table), as CreateDIBSection,
// GetDIBits and SetDIBits take it.
#pragma once

#include <windows.h>

namespace vistoro {

enum class RowOrder { TopDown, BottomUp };

inline BITMAPINFO rgb32Info(long width, long height, RowOrder order) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = order == RowOrder::TopDown ? -height : height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

} // namespace vistoro
