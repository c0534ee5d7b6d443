#include "base/paths.h"

#include <windows.h>

#include "base/text.h"

namespace vistoro {

bool fileExists(std::string_view path) {
    const DWORD attr = ::GetFileAttributesW(widen(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FileStamp> fileStamp(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const auto wide = [](DWORD high, DWORD low) {
        return static_cast<std::uint64_t>(high) << 32 | low;
    };
    return FileStamp{wide(data.nFileSizeHigh, data.nFileSizeLow),
                     wide(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)};
}

std::string folderPart(std::string_view path) {
    const auto slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string folderOf(std::string_view path) {
    std::string dir = folderPart(path);
    if (!dir.empty() && dir != "\\")
        dir.pop_back();
    return dir;
}

std::string nameOf(std::string_view path) {
    return std::string(path.substr(path.rfind('\\') + 1)); // npos + 1 is 0: the whole text
}

} // namespace vistoro
