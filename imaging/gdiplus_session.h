// Start and shut-down of the imaging service. The entry point calls
// GDIPLUSSTART before the program's main function and GDIPLUSEND after it;
// no picture is decoded outside that span.
#pragma once

namespace vistoro {

// Starts the service (version 1, no debug callback, background thread and
// external codecs kept) and keeps the token. Returns whether it is running;
// a second call while it runs keeps the first start.
bool GDIPLUSSTARTUP() noexcept;
// Shuts the service down with the kept token; nothing when it is not running.
void GDIPLUSSHUTDOWN() noexcept;

// The start-up and shut-down routines of the program: the outcome of the
// start is ignored (every later decode then yields 0).
void GDIPLUSSTART() noexcept;
void GDIPLUSEND() noexcept;

bool gdiplusRunning() noexcept;

// Start and shut-down bound to a scope, for tools and tests.
class GdiplusSession {
  public:
    GdiplusSession() noexcept { GDIPLUSSTART(); }
    ~GdiplusSession() { GDIPLUSEND(); }
    GdiplusSession(const GdiplusSession &) = delete;
    GdiplusSession &operator=(const GdiplusSession &) = delete;
};

} // namespace vistoro
