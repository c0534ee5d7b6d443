// The entry point: start-up in order (error handler, library, GDI+), then
// MAIN, then the shut-down routines on every way out.
#include "base/handles.h"
#include "base/text.h"
#include "errors/handler.h"
#include "imaging/gdiplus_session.h"
#include "util/libinit.h"
#include "viewer/decoder.h"
#include "viewer/startup.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

// The first command-line argument, as UTF-8.
std::string firstArgument() {
    int count = 0;
    LPWSTR *args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const vistoro::UniqueLocal block(args); // one block for the whole array
    std::string first;
    if (args && count > 1)
        first = vistoro::narrowUtf8(args[1]);
    return first;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace vistoro;
    ERRORSYS();
    recoveryPoint([] {
        LIBSTARTUP();
        ShutdownRoutine library(LIBSHUTDOWN);
        GDIPLUSSTART();
        ShutdownRoutine gdiplus(GDIPLUSEND);
        // Ended before the imaging service, and never waiting for a decode.
        ShutdownRoutine decoding(endBackgroundDecoder);
        MAIN(firstArgument());
    });
    return 0;
}
