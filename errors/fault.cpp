// The last chances: a hardware fault (an access violation and the like) and
// an exception that no recovery point caught. Both are reported through the
// unexpected-error path, which ends the program with its shut-down routines,
// instead of letting it die silently.
#include "errors/fault.h"

#include "base/handles.h"

#include "errors/handler.h"
#include "errors/handler_frame.h"

#include <windows.h>

#include <cstdio>
#include <exception>

namespace vistoro {
namespace {

std::string hex8(ULONG_PTR value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(value));
    return buf;
}

// How many faults are being handled; a fault inside a report (of a fault or
// of an unexpected error) ends the program without a second question.
volatile LONG g_faults = 0;

[[noreturn]] void reportFault(const EXCEPTION_RECORD &record) {
    HandlerFrame self("FAULTFILTER");
    reportUnexpected(ERRORMESSAGE(faultError(record)));
}

DWORD WINAPI reportOnFreshStack(LPVOID record) {
    reportFault(*static_cast<const EXCEPTION_RECORD *>(record));
    return 0;
}

LONG WINAPI faultFilter(EXCEPTION_POINTERS *info) {
    const LONG nth = ::InterlockedIncrement(&g_faults) + (reportInProgress() ? 1 : 0);
    if (nth == 2)
        quitProgram(kExitUnexpected);
    if (nth > 2)
        ::TerminateProcess(::GetCurrentProcess(), kExitUnexpected);
    const EXCEPTION_RECORD record = *info->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        // No stack left for a message box here: ask from a thread of its
        // own, which ends the program.
        const UniqueKernelHandle reporter(::CreateThread(
            nullptr, 0, reportOnFreshStack, const_cast<EXCEPTION_RECORD *>(&record), 0, nullptr));
        if (reporter)
            ::WaitForSingleObject(reporter.get(), INFINITE);
        quitProgram(kExitUnexpected);
    }
    reportFault(record);
}

[[noreturn]] void onTerminate() {
    HandlerFrame self("TERMINATE");
    ErrorObject e;
    if (std::exception_ptr p = std::current_exception()) {
        try {
            std::rethrow_exception(p);
        } catch (const AbandonOperation &) {
            // Already told to the user; nowhere left to go back to.
            quitProgram(kExitUnexpected);
        } catch (...) {
            e = errorFromCurrentException();
        }
    } else {
        e.subSystem = "C++";
        e.subCode = 4;
        e.description = "Terminazione anomala";
    }
    reportUnexpected(ERRORMESSAGE(e));
}

} // namespace

ErrorObject faultError(const EXCEPTION_RECORD &record) {
    ErrorObject e;
    e.subSystem = "WIN32";
    e.subCode = static_cast<int>(record.ExceptionCode & 0xFFFF);
    const auto where = reinterpret_cast<ULONG_PTR>(record.ExceptionAddress);
    e.operation = "eccezione " + hex8(record.ExceptionCode) + " a " + hex8(where);
    switch (record.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR: {
        std::string kind = "Violazione di accesso";
        if (record.NumberParameters >= 2) {
            const ULONG_PTR mode = record.ExceptionInformation[0];
            kind += mode == 0 ? " in lettura" : mode == 1 ? " in scrittura" : " in esecuzione";
            kind += " all'indirizzo " + hex8(record.ExceptionInformation[1]);
        }
        e.description = kind;
        break;
    }
    case EXCEPTION_STACK_OVERFLOW:
        e.description = "Stack esaurito";
        break;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        e.description = "Divisione per zero del processore";
        break;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
        e.description = "Istruzione non valida";
        break;
    default:
        e.description = "Eccezione di sistema";
        break;
    }
    return e;
}

void installFaultHandlers() noexcept {
    ::SetUnhandledExceptionFilter(faultFilter);
    std::set_terminate(onTerminate);
}

} // namespace vistoro
