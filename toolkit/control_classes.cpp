// The window classes that dialog resources name for the toolkit's own
// controls, and the bitmap resources those controls show.
#include "toolkit/control_classes.h"

#include "base/text.h"
#include "toolkit/wrappers.h"

namespace vistoro {
namespace {

// The platform classes that a dialog resource may name. Their own window
// procedure does nothing special; the toolkit's link paints them.
LRESULT CALLBACK plainControlProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcW(wnd, msg, wp, lp);
}

void registerClass(const wchar_t *name, UINT styles) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = styles;
    wc.lpfnWndProc = plainControlProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    // Refused, the class is missing and the dialog naming it cannot be made,
    // which is told there; the next control tries again.
    registerWindowClass(wc);
}

} // namespace

HBITMAP loadResourceBitmap(const std::string &name) {
    return static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), widen(name).c_str(),
                                             IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void registerControlClasses() {
    registerClass(L"TImage", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
    registerClass(L"TBtnBmp", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
}

} // namespace vistoro
