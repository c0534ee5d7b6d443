// The utility library's start-up and shut-down routines.
#pragma once

#include <string>
#include <vector>

namespace vistoro {

// Library-wide values of the user sign-in (nobody signs in in this program).
struct LibraryValues {
    std::string ACS_USER = "USER";
    std::string ACS_TEMP;
    std::string ACS_PASSWD;
    int ACS_LEVEL = 1;
};
LibraryValues &libraryValues();

// Work folders of this program's own, left behind in the temporary folder
// by a run that did not end normally, are recognised by both marks: a name
// "zvw-" followed by eight hexadecimal digits, and inside it a file named
// USER whose first line is kWorkFolderStamp. Nothing else is ever touched.
inline constexpr const char *kWorkFolderPrefix = "zvw-";
inline constexpr const char *kWorkFolderMarker = "USER";
inline constexpr const char *kWorkFolderStamp = "ZELM Vistoro work folder";

bool isOwnWorkFolderName(const std::string &name);
bool isOwnWorkFolder(const std::string &path);

// Empties and removes the program's own work folders under tempDir (the
// TEMP variable when not given). Returns the folders removed.
std::vector<std::string> cleanTemporaryArea(const std::string &tempDir);
std::vector<std::string> cleanTemporaryArea();

void LIBSTARTUP();
void LIBSHUTDOWN() noexcept;

} // namespace vistoro
