// The system's open-file dialog.
#pragma once

#include <optional>
#include <string>

namespace vistoro {

struct GetFileArgs {
    std::optional<std::string> cFilter;  // "description|pattern|..." pairs
    std::optional<std::string> cTitle;   // "Select the file" when absent
    std::optional<int> nIndex;           // file type shown first; 1 when absent or 0
    std::optional<std::string> cInitDir; // folder the dialog opens in
};

// The chosen file's full path, or "" when the user cancels. With no
// argument at all nothing is shown and "" is returned.
std::string CGETFILE(const GetFileArgs &args = {});

// The platform's filter list: each "|" a NUL, the first 399 characters
// used, ending in a double NUL.
std::wstring fileDialogFilter(const std::string &filter);

} // namespace vistoro
