#include "imaging/gdiplus_session.h"

#include "imaging/gdiplus_holders.h"

#include <atomic>

namespace vistoro {

namespace {
// The one start-up token of the process; 0 while the service is not running.
std::atomic<ULONG_PTR> startupToken{0};
// A decode counts itself in before it checks for a shut-down, and the
// shut-down announces itself before it counts the decodes: one of the two
// always sees the other.
std::atomic<int> decodesInService{0};
std::atomic<bool> shuttingDown{false};
} // namespace

bool GDIPLUSSTARTUP() noexcept {
    if (startupToken != 0) {
        shuttingDown = false;
        return true;
    }
    Gdiplus::GdiplusStartupInput input; // version 1, no callback, nothing suppressed
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    startupToken = token;
    shuttingDown = false;
    return true;
}

void GDIPLUSSHUTDOWN() noexcept {
    if (startupToken == 0)
        return;
    shuttingDown = true;
    if (decodesInService != 0)
        return; // the process's end takes the service with it
    Gdiplus::GdiplusShutdown(startupToken.exchange(0));
}

void GDIPLUSSTART() noexcept { GDIPLUSSTARTUP(); }
void GDIPLUSEND() noexcept { GDIPLUSSHUTDOWN(); }

bool gdiplusRunning() noexcept { return startupToken != 0 && !shuttingDown; }

GdiplusUse::GdiplusUse() noexcept {
    ++decodesInService;
    entered_ = startupToken != 0 && !shuttingDown;
}

GdiplusUse::~GdiplusUse() { --decodesInService; }

} // namespace vistoro
