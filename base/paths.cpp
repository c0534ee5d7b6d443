#include "base/paths.h"

#include <windows.h>

#include "base/handles.h"
#include "base/text.h"

namespace vistoro {

bool fileExists(std::string_view path) {
    const DWORD attr = ::GetFileAttributesW(widen(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FileStamp> fileStampOf(void *file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || file == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const auto wide = [](DWORD high, DWORD low) {
        return static_cast<std::uint64_t>(high) << 32 | low;
    };
    FileStamp stamp{wide(info.nFileSizeHigh, info.nFileSizeLow),
                    wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime),
                    0, info.dwVolumeSerialNumber, wide(info.nFileIndexHigh, info.nFileIndexLow)};
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        stamp.lastChange = static_cast<std::uint64_t>(basic.ChangeTime.QuadPart);
    return stamp;
}

std::optional<FileStamp> fileStamp(std::string_view path) {
    // The right to read attributes only: this open succeeds also while
    // another program holds the file without sharing it.
    const UniqueFile file(::CreateFileW(widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    return fileStampOf(file.get());
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
