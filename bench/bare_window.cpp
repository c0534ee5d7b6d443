// The yardstick for the start benchmark: a program that does nothing but
// open a borderless window of the given size, centred, and paint it in one
// colour. Whatever the viewer takes beyond this and its decode is its own.
//
// Usage: bare_window WIDTH HEIGHT RRGGBB
#include <windows.h>

#include <cstdlib>

namespace {

COLORREF fill = 0;

LRESULT CALLBACK windowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc, &ps.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(wnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wp == VK_ESCAPE)
            DestroyWindow(wnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4)
        return 2;
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
    const unsigned long rgb = std::strtoul(argv[3], nullptr, 16);
    fill = RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);

    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = "BareWindow";
    if (!RegisterClassA(&wc))
        return 1;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND wnd = CreateWindowExA(0, wc.lpszClassName, "bare", WS_POPUP | WS_VISIBLE, x, y, width,
                               height, nullptr, nullptr, wc.hInstance, nullptr);
    if (!wnd)
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
