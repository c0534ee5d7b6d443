#include "viewer/imagelist.h"

#include "base/handles.h"
#include "base/text.h"

#include <cstddef>
#include <cstring>

namespace vistoro {
namespace {

// Offsets of the members inside WIN32_FIND_DATAA.
constexpr std::size_t kAttrAt = 0;
constexpr std::size_t kSizeHighAt = 28;
constexpr std::size_t kSizeLowAt = 32;
constexpr std::size_t kNameAt = 44;
constexpr std::size_t kNameLen = 260;
constexpr std::size_t kShortAt = kNameAt + kNameLen;
constexpr std::size_t kShortLen = 14;
static_assert(offsetof(WIN32_FIND_DATAA, nFileSizeHigh) == kSizeHighAt);
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == kNameAt);
static_assert(offsetof(WIN32_FIND_DATAA, cAlternateFileName) == kShortAt);

std::int32_t readInt(const std::string &buf, std::size_t at) {
    if (at + 4 > buf.size())
        return 0;
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = (v << 8) | static_cast<unsigned char>(buf[at + static_cast<std::size_t>(k)]);
    return static_cast<std::int32_t>(v);
}

std::string readText(const std::string &buf, std::size_t at, std::size_t len) {
    if (at >= buf.size())
        return {};
    return trim(std::string_view(buf).substr(at, len));
}

void storeRecord(const WIN32_FIND_DATAA &fd, std::string &buffer) {
    if (buffer.size() < sizeof fd)
        buffer.resize(sizeof fd);
    std::memcpy(buffer.data(), &fd, sizeof fd);
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

std::int32_t FindRecord::nFileAttr() const { return readInt(cBuffer, kAttrAt); }
std::int32_t FindRecord::nFileSizeH() const { return readInt(cBuffer, kSizeHighAt); }
std::int32_t FindRecord::nFileSizeL() const { return readInt(cBuffer, kSizeLowAt); }
std::string FindRecord::cFileName() const { return readText(cBuffer, kNameAt, kNameLen); }
std::string FindRecord::cShortName() const { return readText(cBuffer, kShortAt, kShortLen); }

FindRecord OWIN32FINDDATA() { return FindRecord{}; }

HANDLE FINDFIRSTFILE(const std::string &cMask, std::string &buffer) {
    WIN32_FIND_DATAA fd{};
    HANDLE h = ::FindFirstFileA(cMask.c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE)
        storeRecord(fd, buffer);
    return h;
}

bool FINDNEXTFILE(HANDLE search, std::string &buffer) {
    WIN32_FIND_DATAA fd{};
    if (!::FindNextFileA(search, &fd))
        return false;
    storeRecord(fd, buffer);
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
    UniqueFind search(FINDFIRSTFILE(cMask, record.cBuffer));
    if (!search)
        return names;
    do {
        std::string name = record.cFileName();
        name = name.substr(0, name.find('\0'));
        if (isImageFile(name))
            names.push_back(lowerText(name));
    } while (FINDNEXTFILE(search.get(), record.cBuffer));
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
