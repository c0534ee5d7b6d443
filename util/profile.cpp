#include "util/profile.h"

#include "base/text.h"

#include <windows.h>

#include <vector>

namespace vistoro {

std::string GETPROFSTRING(const std::string &cSection, const std::optional<std::string> &cEntry,
                          const std::string &cDefault) {
    const std::wstring section = widen(cSection), entry = cEntry ? widen(*cEntry) : std::wstring();
    std::vector<wchar_t> buffer(16383, L'\0');
    const DWORD n = ::GetProfileStringW(section.c_str(), cEntry ? entry.c_str() : nullptr,
                                        widen(cDefault).c_str(), buffer.data(),
                                        static_cast<DWORD>(buffer.size()));
    return narrowUtf8(std::wstring_view(buffer.data(), n));
}

} // namespace vistoro
