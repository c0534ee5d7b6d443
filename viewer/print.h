// Printing the current picture on one page of the current printer.
#pragma once

#include <string>

#include "viewer/viewwin.h"

namespace vistoro {

// Prints the picture of cFile on one page, turned to portrait or landscape
// after aSize (the size as shown, so a turned picture turns the page) and
// stretched over the whole printable area; the printer selection's
// orientation is as before afterwards. The document is named after cFile.
void PRINT(const std::string &cFile, const ImageSize &aSize);

} // namespace vistoro
