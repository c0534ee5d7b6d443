#include "toolkit/wrappers.h"

#include "base/text.h"

namespace vistoro {

long NOR(std::initializer_list<long> values) {
    unsigned long result = 0;
    for (long v : values)
        result |= static_cast<unsigned long>(v);
    return static_cast<long>(result);
}

Point centredOrigin(int width, int height, HWND parent) {
    if (parent && ::IsWindow(parent)) {
        RECT pr{}, cr{};
        ::GetWindowRect(parent, &pr);
        ::GetClientRect(parent, &cr);
        const int border = ::GetSystemMetrics(SM_CXBORDER);
        const int caption = ::GetSystemMetrics(SM_CYCAPTION);
        const int borderH = ::GetSystemMetrics(SM_CYBORDER);
        const int hAllow = pr.right + cr.left - pr.left - cr.right + 2 * border;
        const int vAllow = caption + pr.bottom + cr.top - pr.top - cr.bottom + 2 * borderH;
        const int clientW = cr.right - cr.left, clientH = cr.bottom - cr.top;
        return Point{pr.top + clientH / 2 - height / 2 + vAllow / 2,
                     pr.left + clientW / 2 - width / 2 + hAllow / 2};
    }
    RECT dr{};
    ::GetWindowRect(::GetDesktopWindow(), &dr);
    const int deskW = dr.right - dr.left, deskH = dr.bottom - dr.top;
    return Point{dr.top + deskH / 2 - height / 2, dr.left + deskW / 2 - width / 2};
}

void WNDCENTER(HWND wnd, HWND parent) {
    RECT r{};
    if (!::GetWindowRect(wnd, &r))
        return;
    const int width = r.right - r.left, height = r.bottom - r.top;
    const Point at = centredOrigin(width, height, parent);
    ::MoveWindow(wnd, at.col, at.row, width, height, TRUE);
}

bool MOVEWINDOW(HWND wnd, int top, int left, int width, int height, bool repaint) {
    if (!::IsWindow(wnd))
        return false;
    if (width == 0) {
        RECT r{};
        ::GetWindowRect(wnd, &r);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    return ::MoveWindow(wnd, left, top, width, height, repaint) != FALSE;
}

Rect GETWNDRECT(HWND wnd) {
    RECT r{};
    if (!wnd || !::GetWindowRect(wnd, &r))
        return {};
    return Rect{r.top, r.left, r.bottom, r.right};
}

Point GETCURSORPOS() {
    POINT p{};
    ::GetCursorPos(&p);
    return Point{p.y, p.x};
}

bool GETKEYSTATE(int virtualKey) { return (::GetKeyState(virtualKey) & 0x8000) != 0; }

Point CLIENTTOSCREEN(HWND wnd, Point &point) {
    POINT p{point.col, point.row};
    ::ClientToScreen(wnd, &p);
    point = Point{p.y, p.x};
    return point;
}

LONG_PTR SETCLASSLONG(HWND wnd, int index, LONG_PTR value) {
    return static_cast<LONG_PTR>(::SetClassLongPtrW(wnd, index, value));
}

HICON LOADICON(HINSTANCE instance, const char *name) {
    return ::LoadIconW(instance, widen(name).c_str());
}
HICON LOADICON(HINSTANCE instance, int id) {
    return ::LoadIconW(instance, MAKEINTRESOURCEW(id));
}

HINSTANCE GETINSTANCE() { return ::GetModuleHandleW(nullptr); }
HWND GETDESKTOPWINDOW() { return ::GetDesktopWindow(); }
HWND GETACTIVEWINDOW() { return ::GetActiveWindow(); }

bool ENABLEWINDOW(HWND hWnd, bool lEnable) {
    if (!hWnd || !::IsWindow(hWnd))
        return false;
    return ::EnableWindow(hWnd, lEnable ? TRUE : FALSE) != FALSE;
}

bool TONE(int frequency, int ticks) {
    const DWORD ms = static_cast<DWORD>(ticks * 1000 / 18);
    return ::Beep(static_cast<DWORD>(frequency), ms) != FALSE;
}

int MESSAGEBOX(HWND owner, const std::string &text, const std::string &title, UINT flags) {
    // Wide calls, so that UTF-8 text shows whatever the code page.
    return ::MessageBoxW(owner, widen(text).c_str(), widen(title).c_str(), flags);
}

bool registerWindowClass(const WNDCLASSEXW &wc) {
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND makeMessageWindow(const wchar_t *className, WNDPROC proc, void *owner) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    registerWindowClass(wc);
    HWND wnd = ::CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
    if (wnd)
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return wnd;
}

} // namespace vistoro
