// The system profile, where the installed printers are listed with their
// drivers and ports.
#pragma once

#include <optional>
#include <string>

namespace vistoro {

// An entry of a section of the system profile; "" when nothing was read.
// Without an entry: the section's entry names, each ended by a NUL.
std::string GETPROFSTRING(const std::string &cSection, const std::optional<std::string> &cEntry,
                          const std::string &cDefault = "");

} // namespace vistoro
