// The platform's in-memory dialog description (DLGTEMPLATE followed by
// DLGITEMTEMPLATE items), built as a byte string, and the unit conversions
// it needs. Pure functions, apart from reading the system's base units.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/wrappers.h"

namespace vistoro {

// The two halves of the system's dialog base units.
struct BaseUnits {
    int x = 8;  // low half: horizontal
    int y = 16; // high half: vertical
};
BaseUnits dialogBaseUnits();

// Pixels to dialog units, truncated toward zero; k doubles for controls of
// dialogs not in true-pixel mode.
inline int pixelsToDlgX(int px, const BaseUnits &u, int k = 1) { return k * 4 * px / u.x; }
inline int pixelsToDlgY(int px, const BaseUnits &u, int k = 1) { return k * 8 * px / u.y; }

// The text-unit rectangle of New in pixels: rows x 15.1, columns x 7.9.
Rect textUnitsToPixels(int nTop, int nLeft, int nBottom, int nRight);

struct TemplateHeader {
    DWORD style = 0;
    DWORD exStyle = 0;
    int count = 0;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    std::string title;                // UTF-8
};

struct TemplateItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    int id = 0;
    std::string className; // UTF-8
    std::string text;      // UTF-8
};

// Appends the header (no menu, default class, no font) or one item; items
// start on a 4-byte boundary of the whole description.
void appendTemplateHeader(std::string &out, const TemplateHeader &h);
void appendTemplateItem(std::string &out, const TemplateItem &item);

} // namespace vistoro
