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

// A find record: a byte buffer with the layout of WIN32_FIND_DATAA, read
// member by member. The buffer has the platform record's full size.
struct FindRecord {
    std::string cBuffer = std::string(sizeof(WIN32_FIND_DATAA), '\0');

    // Kept with the record; the image list reads only the long name.
    std::int32_t nFileAttr() const;
    std::int32_t nFileSizeH() const;
    std::int32_t nFileSizeL() const;
    // Text members: their bytes with leading and trailing blanks removed
    // (NUL bytes are kept).
    std::string cFileName() const;
    std::string cShortName() const;
};

FindRecord OWIN32FINDDATA();
// The search handle, or INVALID_HANDLE_VALUE; the first match is written
// into buffer (grown to the platform record's size if it is shorter).
HANDLE FINDFIRSTFILE(const std::string &cMask, std::string &buffer);
bool FINDNEXTFILE(HANDLE search, std::string &buffer);
bool FINDCLOSE(HANDLE search);

bool isImageFile(const std::string &path);
std::vector<std::string> ANAMES(const std::string &cMask);
ImageList AFILE(std::string cDir);

// Position (1-based) of the entry equal to the path; failing that, of the
// first entry that begins with it; 0 when none does.
int locateInList(const ImageList &list, const std::string &path);

} // namespace vistoro
