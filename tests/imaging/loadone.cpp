// Loads one picture and exits: 1 when it decoded, 0 when it did not, 2 for
// a wrong command line, 3 for a fault in this program's own code, 4 for a
// fault inside a platform library (named on stderr).
#include "imaging/decode.h"
#include "imaging/gdiplus_session.h"
#include "imaging/paint.h"

#include <windows.h>

#include <cstdio>

namespace {

// Ends the process at once with the fault's place, instead of leaving it to
// a system debugger that may wait for ever.
LONG WINAPI onFault(EXCEPTION_POINTERS *info) {
    void *address = info->ExceptionRecord->ExceptionAddress;
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(address), &module);
    char name[MAX_PATH] = "?";
    if (module)
        GetModuleFileNameA(module, name, MAX_PATH);
    std::fprintf(stderr, "fault %08lX at %p in %s\n", info->ExceptionRecord->ExceptionCode,
                 address, name);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), module == GetModuleHandleA(nullptr) ? 3 : 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int main(int argc, char **argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(onFault);
    if (argc != 2)
        return 2;
    vistoro::GdiplusSession session;
    HBITMAP h = vistoro::LOADIMG(argv[1]);
    const bool decoded = h != nullptr;
    if (decoded) {
        // Measure and read the result, as a viewer would.
        vistoro::HASALPHA(h);
        vistoro::NBMPWIDTH(h);
        vistoro::DELETEOBJECT(h);
    }
    return decoded ? 1 : 0;
}
