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

// A right click posted at a client point of a window of the process; the
// menu window it opens, or null when none appears within the wait.
HWND openContextMenu(DWORD pid, HWND wnd, int x, int y, Millis wait = Millis{5000});

// Screen pixels of a rectangle (screen coordinates), row by row, as
// 0x00RRGGBB values.
std::vector<DWORD> screenPixels(const RECT &r);
DWORD screenPixel(int x, int y);

} // namespace harness
