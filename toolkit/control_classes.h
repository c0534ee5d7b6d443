// The window classes that dialog resources name for the toolkit's own
// controls ("TImage", "TBtnBmp"), and the bitmap resources those controls
// show. Internal to the toolkit.
#pragma once

#include <windows.h>

#include <string>

namespace vistoro {

// Registers both classes; a class already there counts as registered.
void registerControlClasses();

// A bitmap resource of the program, as a DIB section the caller owns; 0
// when there is none of that name.
HBITMAP loadResourceBitmap(const std::string &name);

} // namespace vistoro
