// The About box: the program's logo, name, version and maker.
#pragma once

#include <string>

namespace vistoro {

// Shows the About box over the active window and returns once it has
// closed, with its button or with Esc. The copyright year is part of the
// box's own text; cYear and anything after it are not used.
void INFOS(const std::string &cName, const std::string &cVersion, const std::string &cYear = "",
           const std::string &cExtra = "");

} // namespace vistoro
