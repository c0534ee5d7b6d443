#include "toolkit/template.h"

#include "base/text.h"

namespace vistoro {
namespace {

void put16(std::string &out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string &out, DWORD v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putWide(std::string &out, const std::string &text) {
    for (wchar_t c : widen(text))
        put16(out, static_cast<unsigned>(c));
    put16(out, 0);
}
void alignTo4(std::string &out) {
    while (out.size() % 4 != 0)
        out.push_back('\0');
}
// Dialog units are 16-bit signed in the template; clamp rather than wrap.
unsigned du(int v) {
    if (v < -32768)
        v = -32768;
    if (v > 32767)
        v = 32767;
    return static_cast<unsigned>(v) & 0xFFFF;
}

} // namespace

BaseUnits dialogBaseUnits() {
    LONG b = ::GetDialogBaseUnits();
    BaseUnits u;
    u.x = LOWORD(b) ? LOWORD(b) : 8;
    u.y = HIWORD(b) ? HIWORD(b) : 16;
    return u;
}

// In tenths, so that 10 x 15.1 is 151 and not 150.99...
Rect textUnitsToPixels(int nTop, int nLeft, int nBottom, int nRight) {
    return {nTop * 151 / 10, nLeft * 79 / 10, nBottom * 151 / 10, nRight * 79 / 10};
}

void appendTemplateHeader(std::string &out, const TemplateHeader &h) {
    put32(out, h.style & ~static_cast<DWORD>(DS_SETFONT)); // no font block follows
    put32(out, h.exStyle);
    put16(out, static_cast<unsigned>(h.count));
    put16(out, du(h.x));
    put16(out, du(h.y));
    put16(out, du(h.cx));
    put16(out, du(h.cy));
    put16(out, 0); // no menu
    put16(out, 0); // the default dialog class
    putWide(out, h.title);
}

void appendTemplateItem(std::string &out, const TemplateItem &item) {
    alignTo4(out);
    put32(out, item.style);
    put32(out, item.exStyle);
    put16(out, du(item.x));
    put16(out, du(item.y));
    put16(out, du(item.cx));
    put16(out, du(item.cy));
    put16(out, static_cast<unsigned>(item.id) & 0xFFFF);
    putWide(out, item.className);
    putWide(out, item.text);
    put16(out, 0); // no creation data
}

} // namespace vistoro
