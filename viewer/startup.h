// Start-up: which image file is shown first.
#pragma once

#include "base/paths.h"
#include "viewer/imagelist.h"

#include <optional>
#include <string>

namespace vistoro {

// The state that start-up hands to the viewing window.
struct StartState {
    std::string cFile;               // lower case
    std::string cDir;                // its folder, without the trailing backslash
    std::optional<ImageList> aFiles; // built only for a folder argument
    int nIdx = 0;                    // 1-based position in aFiles
};

// The current path: drive prefix, "\" and the current directory.
struct CurrentPath {
    std::string drive;     // "c:"-style prefix; a UNC share root; or ""
    std::string directory; // without drive and without leading backslash
    std::string full() const;
};
CurrentPath currentPath();

// Asks for an image file with the open-file dialog, starting in cInitDir;
// blank when the user cancelled.
std::string askForImageFile(const std::string &cInitDir);

// The notice for a named file that is not there.
void tellFileNotFound(const std::string &cFile);

// Settles the first file from the command-line argument: asks with the
// open-file dialog when there is none, tells about a missing file. Returns
// nothing when the program is to end.
std::optional<StartState> settleStartFile(const std::string &argument);

// The program's entry operation.
void MAIN(const std::string &cFile);

} // namespace vistoro
