// Drives a program the way a person would, through plain Win32 calls only:
// start it, find its windows, read titles, rectangles, message boxes and
// screen pixels, type keys, click and drag, answer dialogs.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace harness {

using Millis = std::chrono::milliseconds;
inline constexpr Millis kDefaultWait{15000};

// Polls the condition until it holds or the wait runs out.
bool waitUntil(const std::function<bool()> &condition, Millis wait = kDefaultWait,
               Millis step = Millis{20});

// A started program; ended (killed if still running) when the object goes.
class Process {
  public:
    Process(const std::string &exe, const std::vector<std::string> &args,
            const std::string &workdir = "");
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    DWORD pid() const { return info_.dwProcessId; }
    bool running() const;
    // The exit code once the program has ended within the wait.
    std::optional<DWORD> waitExit(Millis wait = kDefaultWait);
    void kill();

  private:
    PROCESS_INFORMATION info_{};
};

// Quotes one command-line argument the way the C run-time splits it.
std::string quoteArg(const std::string &arg);

// Visible top-level windows of a process, optionally of one class.
std::vector<HWND> windowsOf(DWORD pid, const std::string &className = "");
// The first such window whose title matches (empty title: any), waited for.
HWND waitWindow(DWORD pid, const std::string &className = "", const std::string &title = "",
                Millis wait = kDefaultWait);

// Waits until nothing of the window is left to paint: its first paint is
// done. Input that arrives earlier is read before the paint.
bool waitPainted(HWND wnd, Millis wait = kDefaultWait);

// Waits until the window's thread has taken everything queued for it so far,
// typed input and what that posts in turn included, and has painted: a round
// trip through its queue, then one pixel marked for painting and its paint,
// which the platform sends only once nothing else is queued. Where a test
// checks that something did not happen, this replaces a fixed sleep.
bool settle(HWND wnd, Millis wait = kDefaultWait);

// Whether a process with this executable name (e.g. "prog.exe") is running.
bool processRunning(const std::string &exeName);

std::string className(HWND wnd);
std::string title(HWND wnd); // UTF-8, as every text here
RECT windowRect(HWND wnd);
// The client area in screen coordinates.
RECT clientRectOnScreen(HWND wnd);

// Message boxes: the text, and pressing one of the buttons (IDOK, IDYES...).
std::string messageBoxText(HWND box);
bool hasControl(HWND dialog, int id);
void pressButton(HWND dialog, int id);

// The explorer-style open-file dialog: type a path and confirm, or cancel.
void openDialogChoose(HWND dialog, const std::string &path);
void openDialogCancel(HWND dialog);
std::string openDialogFileName(HWND dialog);

// Keyboard: the window is brought to the foreground and the key typed.
void bringToFront(HWND wnd);
void typeKey(HWND wnd, WORD vk);
// The same with a modifier held (VK_CONTROL, VK_SHIFT, VK_MENU).
void typeKeyWith(HWND wnd, WORD modifier, WORD vk);
// Posts key down and up straight to a window (with the scan code, so that
// WM_CHAR is made).
void postKey(HWND wnd, WORD vk);

// Mouse, at screen coordinates.
void moveMouse(int x, int y);
void mouseDown(bool right = false);
void mouseUp(bool right = false);
void click(int x, int y, bool right = false);
// Presses the left button at from, moves to to in ten steps and lets go.
// With windowFollows, each step waits until the window that was under the
// pointer has moved with it; false when it did not.
bool drag(int fromX, int fromY, int toX, int toY, bool windowFollows = false);
// Turns the wheel with the pointer at the point: delta as the platform
// counts it (-120 is one notch towards the user, 60 half a notch away).
// Under Wine the window under the pointer gets the WM_MOUSEWHEEL, whether
// or not it has the focus (as on Windows 10 and later by default; Windows
// 7 gives it to the focus window).
void wheel(int x, int y, int delta);

// A right click posted at a client point of a window of the process; the
// menu window it opens, or null when none appears within the wait.
HWND openContextMenu(DWORD pid, HWND wnd, int x, int y, Millis wait = Millis{5000});

// Screen pixels of a rectangle (screen coordinates), row by row, as
// 0x00RRGGBB values.
std::vector<DWORD> screenPixels(const RECT &r);
DWORD screenPixel(int x, int y);

// Drops files onto the window at a screen point as a file manager does
// (under Wine: an XDND drag from another X client, made by the host tool
// xdnd-drop, so that the window gets WM_DROPFILES). Paths are Windows ones
// (Z:\... or any drive), UTF-8. True when the window took the drop; false
// when it refused (no WS_EX_ACCEPTFILES), when nothing took the drag, or
// when the tool is missing.
bool dropFiles(int x, int y, const std::vector<std::string> &windowsPaths);
// Whether drops can be made here: under Wine, with the tool built (it is
// not on Windows, nor where the build found no host compiler and X11).
bool canDropFiles();

// The bytes of a clipboard format held as a memory block (CF_DIB,
// CF_DIBV5, ...), whoever put it there; nothing when the format is absent
// or the clipboard stays busy. A block may be longer than what was put.
std::optional<std::string> clipboardBytes(UINT format);
bool clipboardHolds(UINT format);

// Keeps the clipboard open on a window of its own, on the creating thread,
// until destroyed: meanwhile every other OpenClipboard fails, as when
// another program is slow to let go of it.
class ClipboardHold {
  public:
    explicit ClipboardHold(Millis wait = kDefaultWait);
    ~ClipboardHold();
    ClipboardHold(const ClipboardHold &) = delete;
    ClipboardHold &operator=(const ClipboardHold &) = delete;
    // Whether the clipboard was got within the wait.
    bool held() const { return held_; }

  private:
    HWND wnd_ = nullptr;
    bool held_ = false;
};

} // namespace harness
