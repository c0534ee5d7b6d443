// Printing the current picture on one page of the current printer.
#pragma once

#include <string>

#include "viewer/viewwin.h"

namespace vistoro {

// Prints the picture of cFile on one page, turned to portrait or landscape
// after aSize (the size as shown) and stretched over the whole printable
// area; the printer selection's orientation is as before afterwards. The
// document is named after cFile. A picture turned in the window is printed
// as it is shown there, from hTurned, rather than from the file.
void PRINT(const std::string &cFile, const ImageSize &aSize, HBITMAP hTurned = nullptr);

} // namespace vistoro
