#include "imaging/gdiplus_session.h"

#include "imaging/gdiplus_holders.h"

namespace vistoro {

namespace {
// The one start-up token of the process; 0 while the service is not running.
ULONG_PTR startupToken = 0;
} // namespace

bool GDIPLUSSTARTUP() noexcept {
    if (startupToken != 0)
        return true;
    Gdiplus::GdiplusStartupInput input; // version 1, no callback, nothing suppressed
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    startupToken = token;
    return true;
}

void GDIPLUSSHUTDOWN() noexcept {
    if (startupToken == 0)
        return;
    Gdiplus::GdiplusShutdown(startupToken);
    startupToken = 0;
}

void GDIPLUSSTART() noexcept { GDIPLUSSTARTUP(); }
void GDIPLUSEND() noexcept { GDIPLUSSHUTDOWN(); }

bool gdiplusRunning() noexcept { return startupToken != 0; }

} // namespace vistoro
