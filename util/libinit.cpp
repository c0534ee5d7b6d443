#include "util/libinit.h"

#include "base/handles.h"
#include "base/text.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>

namespace vistoro {
namespace {

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isLinkOrNotFolder(DWORD attr) {
    return attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY) ||
           (attr & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Erases every plain file of the folder, hidden and read-only ones too;
// stops at the first that cannot be erased. Sub-folders are left alone, so
// a folder that holds one survives its removal.
void emptyFolder(const std::wstring &folder) noexcept {
    WIN32_FIND_DATAW fd;
    UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &fd));
    if (!search)
        return;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::wstring file = folder + L"\\" + fd.cFileName;
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileW(file.c_str()))
            return;
    } while (::FindNextFileW(search.get(), &fd));
}

} // namespace

LibraryValues &libraryValues() {
    static LibraryValues values;
    return values;
}

bool isOwnWorkFolderName(const std::string &name) {
    const std::string prefix = kWorkFolderPrefix;
    if (name.size() != prefix.size() + 8 || lowerText(name.substr(0, prefix.size())) != prefix)
        return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
        if (!isHex(name[i]))
            return false;
    return true;
}

bool isOwnWorkFolder(const std::string &path) {
    const std::wstring wpath = widen(path);
    if (isLinkOrNotFolder(::GetFileAttributesW(wpath.c_str())))
        return false;
    const std::wstring marker = wpath + L"\\" + widen(kWorkFolderMarker);
    const DWORD attr = ::GetFileAttributesW(marker.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    UniqueFile file(::CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char head[64] = {};
    DWORD got = 0;
    if (!::ReadFile(file.get(), head, sizeof head - 1, &got, nullptr))
        return false;
    const std::string stamp = kWorkFolderStamp;
    const std::string first(head, got);
    return first.compare(0, stamp.size(), stamp) == 0 &&
           (first.size() == stamp.size() || first[stamp.size()] == '\r' ||
            first[stamp.size()] == '\n');
}

std::vector<std::string> cleanTemporaryArea(const std::string &tempDir) {
    std::vector<std::string> removed;
    std::string dir = trim(tempDir);
    if (dir.empty())
        return removed;
    while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();

    WIN32_FIND_DATAW fd;
    UniqueFind search(::FindFirstFileW((widen(dir) + L"\\*").c_str(), &fd));
    if (!search)
        return removed;
    do {
        const std::string name = narrowUtf8(fd.cFileName);
        if (name == "." || name == ".." || !isOwnWorkFolderName(name) ||
            isLinkOrNotFolder(fd.dwFileAttributes))
            continue;
        const std::string folder = dir + "\\" + name;
        if (!isOwnWorkFolder(folder))
            continue;
        emptyFolder(widen(folder));
        if (::RemoveDirectoryW(widen(folder).c_str()))
            removed.push_back(folder);
    } while (::FindNextFileW(search.get(), &fd));
    return removed;
}

std::vector<std::string> cleanTemporaryArea() {
    DWORD need = ::GetEnvironmentVariableW(L"TEMP", nullptr, 0);
    if (need == 0)
        return {};
    std::wstring value(need, L'\0');
    DWORD got = ::GetEnvironmentVariableW(L"TEMP", value.data(), need);
    value.resize(got < need ? got : 0);
    return cleanTemporaryArea(narrowUtf8(value));
}

void LIBSTARTUP() {
    // The table, date and report settings serve only the library's table
    // functions, which this program does not have.
    libraryValues() = LibraryValues{};
    cleanTemporaryArea();
    ::SetErrorMode(SEM_FAILCRITICALERRORS);
}

void LIBSHUTDOWN() noexcept {
    // View index files are erased only where the library made them, and it
    // makes none in this program: nothing in the current directory, which
    // stands in for the missing work folder, may be the library's. Nobody
    // signs in either, so there is no user work folder to remove.
}

} // namespace vistoro
