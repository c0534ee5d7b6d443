// The toolkit's own errors, handed to the error handler. The toolkit's
// errors are told and abandoned: when the handler hands back instead, the
// current operation is abandoned here all the same.
#pragma once

#include <string>

namespace vistoro {

// Raises the toolkit error; returns only when the handler handed back.
void raiseToolkitError(const std::string &subSystem, int subCode, const std::string &description,
                       const std::string &operation = "");
// "No: " and the identifier right-aligned in 6 positions.
std::string idDetail(int nId);

} // namespace vistoro
