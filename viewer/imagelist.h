// The Image list of a folder, the find record it is read with, and the
// image extension test.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vistoro {

// Full lower-case paths in the file system's listing order; callers count
// positions from 1.
using ImageList = std::vector<std::string>;

// A find record: the platform's wide record, read member by member.
struct FindRecord {
    WIN32_FIND_DATAW data{};

    // Kept with the record; the image list reads only the long name.
    std::int32_t nFileAttr() const;
    std::int32_t nFileSizeH() const;
    std::int32_t nFileSizeL() const;
    // Text members as UTF-8, up to their end, with leading and trailing
    // blanks removed.
    std::string cFileName() const;
    std::string cShortName() const;
};

FindRecord OWIN32FINDDATA();
// The search handle, or INVALID_HANDLE_VALUE; the first match is written
// into the record.
HANDLE FINDFIRSTFILE(const std::string &cMask, FindRecord &record);
bool FINDNEXTFILE(HANDLE search, FindRecord &record);
bool FINDCLOSE(HANDLE search);

bool isImageFile(const std::string &path);
std::vector<std::string> ANAMES(const std::string &cMask);
ImageList AFILE(std::string cDir);

// Position (1-based) of the entry equal to the path; failing that, of the
// first entry that begins with it; 0 when none does.
int locateInList(const ImageList &list, const std::string &path);

} // namespace vistoro
