// Start and shut-down of the imaging service. The entry point calls
// GDIPLUSSTART before the program's main function and GDIPLUSEND after it;
// no picture is decoded outside that span.
#pragma once

namespace vistoro {

// Starts the service (version 1, no debug callback, background thread and
// external codecs kept) and keeps the token. Returns whether it is running;
// a second call while it runs keeps the first start.
bool GDIPLUSSTARTUP() noexcept;
// Shuts the service down with the kept token; nothing when it is not
// running. While a decode is still under way on another thread the service
// is left running for the process's end, since pulling it from under that
// decode would fault; no decode begins after this call either way.
void GDIPLUSSHUTDOWN() noexcept;

// The start-up and shut-down routines of the program: the outcome of the
// start is ignored (every later decode then yields 0).
void GDIPLUSSTART() noexcept;
void GDIPLUSEND() noexcept;

bool gdiplusRunning() noexcept;

// Held by every decode for as long as it uses the service, on any thread:
// false (and nothing may be decoded) when the service is not running or is
// being shut down.
class GdiplusUse {
  public:
    GdiplusUse() noexcept;
    ~GdiplusUse();
    GdiplusUse(const GdiplusUse &) = delete;
    GdiplusUse &operator=(const GdiplusUse &) = delete;
    explicit operator bool() const noexcept { return entered_; }

  private:
    bool entered_ = false;
};

// Start and shut-down bound to a scope, for tools and tests.
class GdiplusSession {
  public:
    GdiplusSession() noexcept { GDIPLUSSTART(); }
    ~GdiplusSession() { GDIPLUSEND(); }
    GdiplusSession(const GdiplusSession &) = delete;
    GdiplusSession &operator=(const GdiplusSession &) = delete;
};

} // namespace vistoro
