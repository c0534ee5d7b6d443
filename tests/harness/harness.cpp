#include "harness/harness.h"

#include "base/text.h"

#include <tlhelp32.h>

#include <algorithm>

#include <thread>

namespace harness {

bool waitUntil(const std::function<bool()> &condition, Millis wait, Millis step) {
    auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(step);
    }
}

std::string quoteArg(const std::string &arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"')
            out.append(slashes * 2 + 1, '\\');
        else
            out.append(slashes, '\\');
        slashes = 0;
        out += c;
    }
    // Backslashes before the closing quote are doubled so it stays a quote.
    out.append(slashes * 2, '\\');
    return out + "\"";
}

Process::Process(const std::string &exe, const std::vector<std::string> &args,
                 const std::string &workdir) {
    std::string cmd = quoteArg(exe);
    for (const auto &a : args)
        cmd += " " + quoteArg(a);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workdir.empty() ? nullptr : workdir.c_str(), &si, &info_))
        info_ = {};
    else
        WaitForInputIdle(info_.hProcess, 5000);
}

Process::~Process() {
    kill();
    if (info_.hThread)
        CloseHandle(info_.hThread);
    if (info_.hProcess)
        CloseHandle(info_.hProcess);
}

bool Process::running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::waitExit(Millis wait) {
    if (!info_.hProcess)
        return std::nullopt;
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(wait.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Process::kill() {
    if (running()) {
        TerminateProcess(info_.hProcess, 255);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

namespace {

struct EnumState {
    DWORD pid;
    std::string cls;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND wnd, LPARAM lp) {
    auto *st = reinterpret_cast<EnumState *>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (owner == st->pid && IsWindowVisible(wnd) &&
        (st->cls.empty() || className(wnd) == st->cls))
        st->found.push_back(wnd);
    return TRUE;
}

void sendKeyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
    switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT:
    case VK_HOME: case VK_END: case VK_INSERT: case VK_DELETE:
        in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        break;
    default:
        break;
    }
    if (up)
        in.ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
}

void sendMouse(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

} // namespace

std::vector<HWND> windowsOf(DWORD pid, const std::string &cls) {
    EnumState st{pid, cls, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

HWND waitWindow(DWORD pid, const std::string &cls, const std::string &wantTitle, Millis wait) {
    HWND hit = nullptr;
    waitUntil(
        [&] {
            for (HWND w : windowsOf(pid, cls))
                if (wantTitle.empty() || title(w) == wantTitle) {
                    hit = w;
                    return true;
                }
            return false;
        },
        wait);
    return hit;
}

std::string className(HWND wnd) {
    char buf[256] = {};
    GetClassNameA(wnd, buf, sizeof buf);
    return buf;
}

std::string title(HWND wnd) {
    // WM_GETTEXT reaches windows of other processes; GetWindowText may not.
    // Read wide, so that a title in any script comes back whole.
    wchar_t buf[2048] = {};
    SendMessageTimeoutW(wnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return vistoro::narrowUtf8(buf);
}

RECT windowRect(HWND wnd) {
    RECT r{};
    GetWindowRect(wnd, &r);
    return r;
}

RECT clientRectOnScreen(HWND wnd) {
    RECT r{};
    GetClientRect(wnd, &r);
    POINT tl{r.left, r.top}, br{r.right, r.bottom};
    ClientToScreen(wnd, &tl);
    ClientToScreen(wnd, &br);
    return RECT{tl.x, tl.y, br.x, br.y};
}

std::string messageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? title(text) : std::string();
}

bool hasControl(HWND dialog, int id) { return GetDlgItem(dialog, id) != nullptr; }

void pressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void openDialogChoose(HWND dialog, const std::string &path) {
    SetDlgItemTextW(dialog, 0x47C, vistoro::widen(path).c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void openDialogCancel(HWND dialog) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

std::string openDialogFileName(HWND dialog) {
    HWND combo = GetDlgItem(dialog, 0x47C);
    return combo ? title(combo) : std::string();
}

bool waitPainted(HWND wnd, Millis wait) {
    return waitUntil([&] { return IsWindow(wnd) && !GetUpdateRect(wnd, nullptr, FALSE); }, wait);
}

bool settle(HWND wnd, Millis wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto left = [&] {
        return std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    };
    // A sent message jumps the queue, and a posted one comes before input:
    // neither shows that typed input was taken. A paint comes only once
    // nothing else is queued, so one pixel is marked for painting and its
    // paint awaited, after a round trip that shows the thread is there.
    DWORD_PTR answer = 0;
    if (!IsWindow(wnd) ||
        !SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL,
                             static_cast<UINT>(std::max<long long>(left().count(), 1)), &answer))
        return false;
    const RECT pixel{0, 0, 1, 1};
    InvalidateRect(wnd, &pixel, FALSE);
    return waitPainted(wnd, left());
}

bool processRunning(const std::string &exeName) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    const std::wstring wanted = vistoro::widen(exeName);
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry))
        found = lstrcmpiW(entry.szExeFile, wanted.c_str()) == 0;
    CloseHandle(snapshot);
    return found;
}

void bringToFront(HWND wnd) {
    SetForegroundWindow(wnd);
    waitUntil([&] { return GetForegroundWindow() == wnd; }, Millis{2000});
}

void typeKey(HWND wnd, WORD vk) {
    bringToFront(wnd);
    sendKeyInput(vk, false);
    sendKeyInput(vk, true);
}

void typeKeyWith(HWND wnd, WORD modifier, WORD vk) {
    bringToFront(wnd);
    sendKeyInput(modifier, false);
    sendKeyInput(vk, false);
    sendKeyInput(vk, true);
    sendKeyInput(modifier, true);
}

void postKey(HWND wnd, WORD vk) {
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16;
    PostMessageA(wnd, WM_KEYDOWN, vk, 1 | scan);
    PostMessageA(wnd, WM_KEYUP, vk, 1 | scan | (1u << 30) | (1u << 31));
}

void moveMouse(int x, int y) {
    SetCursorPos(x, y);
    sendMouse(MOUSEEVENTF_MOVE); // a real move event, so the target sees it
}

void mouseDown(bool right) { sendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN); }
void mouseUp(bool right) { sendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP); }

void click(int x, int y, bool right) {
    moveMouse(x, y);
    mouseDown(right);
    mouseUp(right);
}

void wheel(int x, int y, int delta) {
    // The turn carries its point. With a move sent just before it instead,
    // Wine gave the turn to the window under the previous point about one
    // run in four (likely an X motion event that a window's thread read
    // late, putting the pointer back); none in forty this way.
    SetCursorPos(x, y);
    const long long w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((x * 65536LL + w - 1) / w); // 0..65535 across the screen
    in.mi.dy = static_cast<LONG>((y * 65536LL + h - 1) / h);
    in.mi.mouseData = static_cast<DWORD>(delta);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_WHEEL;
    SendInput(1, &in, sizeof in);
}

HWND openContextMenu(DWORD pid, HWND wnd, int x, int y, Millis wait) {
    // The pointer waits in the screen's corner, away from where windows and
    // their menus appear. On an X server without a window manager the input
    // focus follows the pointer: a menu mapped under it takes the focus from
    // its owner, and the lost focus cancels the menu before a key reaches it.
    SetCursorPos(0, 0);
    PostMessageW(wnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    PostMessageW(wnd, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    return waitWindow(pid, "#32768", "", wait);
}

bool drag(int fromX, int fromY, int toX, int toY, bool windowFollows) {
    // Each step is taken in by the window under the pointer before the next:
    // when it follows the pointer, until it stands where the step puts it
    // (a window dragging itself answers messages while it moves, so a round
    // trip alone does not show that it has read the pointer); else settled.
    const HWND target = GetAncestor(WindowFromPoint(POINT{fromX, fromY}), GA_ROOT);
    const RECT start = windowRect(target);
    moveMouse(fromX, fromY);
    mouseDown();
    settle(target);
    bool followed = true;
    const int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        const int dx = (toX - fromX) * i / steps, dy = (toY - fromY) * i / steps;
        moveMouse(fromX + dx, fromY + dy);
        if (windowFollows)
            followed = followed && waitUntil([&] {
                           const RECT now = windowRect(target);
                           return now.left == start.left + dx && now.top == start.top + dy;
                       }, Millis{5000});
        else
            settle(target);
    }
    mouseUp();
    return followed;
}

std::vector<DWORD> screenPixels(const RECT &r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<DWORD> out;
    if (w <= 0 || h <= 0)
        return out;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h; // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const DWORD *px = static_cast<const DWORD *>(bits);
        out.assign(px, px + static_cast<std::size_t>(w) * h);
        for (DWORD &p : out)
            p &= 0x00FFFFFF;
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

DWORD screenPixel(int x, int y) {
    auto px = screenPixels(RECT{x, y, x + 1, y + 1});
    return px.empty() ? 0xFFFFFFFF : px[0];
}

} // namespace harness
