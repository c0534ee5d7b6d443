#include "viewer/imagelist.h"

#include "base/handles.h"
#include "base/text.h"

#include <cwchar>

namespace vistoro {
namespace {

// A text member up to its end (the array's when it has no NUL).
template <std::size_t N> std::string readText(const wchar_t (&member)[N]) {
    return trim(narrowUtf8(std::wstring_view(member, ::wcsnlen(member, N))));
}

// The name part of a path for the extension test.
std::string namePart(const std::string &path) {
    auto slash = path.rfind('\\');
    if (slash != std::string::npos && slash + 1 < path.size())
        return trim(std::string_view(path).substr(slash + 1));
    auto colon = path.find(':');
    if (colon != std::string::npos)
        return trim(std::string_view(path).substr(colon + 1));
    return trim(path);
}

} // namespace

std::int32_t FindRecord::nFileAttr() const {
    return static_cast<std::int32_t>(data.dwFileAttributes);
}
std::int32_t FindRecord::nFileSizeH() const {
    return static_cast<std::int32_t>(data.nFileSizeHigh);
}
std::int32_t FindRecord::nFileSizeL() const {
    return static_cast<std::int32_t>(data.nFileSizeLow);
}
std::string FindRecord::cFileName() const {
    return readText(data.cFileName);
}
std::string FindRecord::cShortName() const {
    return readText(data.cAlternateFileName);
}

FindRecord OWIN32FINDDATA() {
    return FindRecord{};
}

// The record changes only when a match was found.
HANDLE FINDFIRSTFILE(const std::string &cMask, FindRecord &record) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(widen(cMask).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
        record.data = found;
    return search;
}

bool FINDNEXTFILE(HANDLE search, FindRecord &record) {
    WIN32_FIND_DATAW found{};
    if (!::FindNextFileW(search, &found))
        return false;
    record.data = found;
    return true;
}

bool FINDCLOSE(HANDLE search) { return ::FindClose(search) != FALSE; }

bool isImageFile(const std::string &path) {
    const std::string name = namePart(path);
    auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : trim(name.substr(dot + 1));
    std::string three = leftChars(ext, 3);
    // Padded to three characters, a shorter extension can never match.
    three.append(3 - charCount(three), ' ');
    three = upperText(three);
    return std::string_view("BMP|EMF|GIF|ICO|JPEG|JPG|PNG|TIF|WMF").find(three) !=
           std::string_view::npos;
}

std::vector<std::string> ANAMES(const std::string &cMask) {
    FindRecord record = OWIN32FINDDATA();
    std::vector<std::string> names;
    UniqueFind search(FINDFIRSTFILE(cMask, record));
    if (!search)
        return names;
    do {
        const std::string name = record.cFileName();
        if (isImageFile(name))
            names.push_back(lowerText(name));
    } while (FINDNEXTFILE(search.get(), record));
    FINDCLOSE(search.release());
    return names;
}

ImageList AFILE(std::string cDir) {
    if (cDir.empty() || cDir.back() != '\\')
        cDir += '\\';
    ImageList list = ANAMES(trim(cDir) + "*.*");
    for (std::string &entry : list)
        entry = cDir + entry;
    return list;
}

int locateInList(const ImageList &list, const std::string &path) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == path)
            return static_cast<int>(i + 1);
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].size() > path.size() && list[i].compare(0, path.size(), path) == 0)
            return static_cast<int>(i + 1);
    return 0;
}

} // namespace vistoro
