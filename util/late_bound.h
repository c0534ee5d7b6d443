// Functions of system libraries that only some commands need (the open-file
// dialog, the printer dialog), loaded at their first use rather than with
// the program, so that its start does not pay for them.
#pragma once

#include <windows.h>

namespace vistoro {

// The function name of the system library, which is loaded from the system
// folder at the first call and kept for the rest of the program; null when
// either cannot be found.
FARPROC systemProc(const wchar_t *library, const char *name) noexcept;

template <class F> F lateBound(const wchar_t *library, const char *name) noexcept {
    // Through the one pointer type that converts to any other without warning.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(systemProc(library, name)));
}

} // namespace vistoro
