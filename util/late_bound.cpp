#include "util/late_bound.h"

#include <string>

namespace vistoro {

FARPROC systemProc(const wchar_t *library, const char *name) noexcept {
    wchar_t folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    try {
        const std::wstring path = std::wstring(folder, n) + L"\\" + library;
        // Never freed: the functions are called again later.
        const HMODULE module = ::LoadLibraryW(path.c_str());
        return module ? ::GetProcAddress(module, name) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace vistoro
