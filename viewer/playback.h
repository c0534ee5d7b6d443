// A moving GIF played in the viewing window. Its frames are made on a
// thread of their own, each one ready before its time and handed to the
// window's thread at it; besides the frame on show only the next one
// exists, so a GIF of thousands of frames costs no more than two. While a
// command, the menu or another window of the program runs, frames wait:
// what those see and print is the frame that was on show.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/handles.h"

namespace vistoro {

class Playback {
  public:
    // Puts a frame on show in place of the one before (which it releases).
    using Show = std::function<void(UniqueBitmap frame, bool paintsEveryPixel)>;
    // True while frames must wait.
    using Paused = std::function<bool()>;

    Playback(Show show, Paused paused);
    ~Playback();
    Playback(const Playback &) = delete;
    Playback &operator=(const Playback &) = delete;

    // Plays the file from its first frame when it is a GIF of two or more
    // frames; for any other file nothing happens. Whatever played before
    // stops.
    void start(const std::string &file);
    // Nothing more is shown; returns at once.
    void stop() noexcept;
    // The frame on show was turned by a quarter (1: anticlockwise, as the
    // Left key turns; -1: clockwise); the frames to come are turned alike.
    void turn(int quarters) noexcept;
    // A frame made here is on show (or was, until the playback stopped):
    // the window's picture is no longer the one the file's decode gives.
    bool showsOwnFrame() const noexcept { return ownFrame_; }
    // Frames are still coming.
    bool playing() const noexcept;

    // Each frame put on show, counted from 1: when the window's thread took
    // it and when it was painted (QueryPerformanceCounter ticks), for the
    // benchmark; nullptr stops the telling.
    using FrameObserver = void (*)(int nFrame, LONGLONG takenAt, LONGLONG shownAt);
    static void setFrameObserver(FrameObserver observer) noexcept;

  private:
    struct Shared;
    static LRESULT CALLBACK inboxProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void takeFrame();

    Show show_;
    Paused paused_;
    HWND inbox_ = nullptr;
    std::shared_ptr<Shared> shared_;
    int turns_ = 0; // quarter turns anticlockwise, 0 to 3
    int shown_ = 0;
    bool ownFrame_ = false;
};

} // namespace vistoro
