// Thin wrappers of the window system, with the argument orders and result
// shapes that the rest of the program relies on: rectangles are
// {top, left, bottom, right}, points {row, col} = {y, x}.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace vistoro {

struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const Rect &) const = default;
};
struct Point {
    int row = 0, col = 0; // y, x
    bool operator==(const Point &) const = default;
};

long NOR(std::initializer_list<long> values = {});
void WNDCENTER(HWND wnd, HWND parent = nullptr);
bool MOVEWINDOW(HWND wnd, int top, int left, int width = 0, int height = 0, bool repaint = false);
Rect GETWNDRECT(HWND wnd);
Point GETCURSORPOS();
bool GETKEYSTATE(int virtualKey);
Point CLIENTTOSCREEN(HWND wnd, Point &point);
LONG_PTR SETCLASSLONG(HWND wnd, int index, LONG_PTR value);
HICON LOADICON(HINSTANCE instance, const char *name);
HICON LOADICON(HINSTANCE instance, int id); // by number: the viewer loads by name only
HINSTANCE GETINSTANCE();
HWND GETDESKTOPWINDOW();
HWND GETACTIVEWINDOW();
// EnableWindow for a window that exists; false for any other.
bool ENABLEWINDOW(HWND hWnd, bool lEnable);
bool TONE(int frequency, int ticks);
int MESSAGEBOX(HWND owner, const std::string &text, const std::string &title, UINT flags);

// Registers a window class; true when it is registered, by this call or an
// earlier one.
bool registerWindowClass(const WNDCLASSEXW &wc);

// A message-only window of a class of its own, on the calling thread, with
// `owner` kept in its user data for its procedure: where work done on other
// threads is posted back. Null when it cannot be made.
HWND makeMessageWindow(const wchar_t *className, WNDPROC proc, void *owner);

// The new top-left corner that WNDCENTER would give a window of this size,
// without moving it: lets a caller resize and centre in one move.
Point centredOrigin(int width, int height, HWND parent = nullptr);

} // namespace vistoro
