// Hardware faults and exceptions that escaped every recovery point.
#pragma once

#include "base/error.h"

#include <windows.h>

namespace vistoro {

// The error object that reports a hardware fault: subsystem "WIN32", the
// low 16 bits of the exception code as sub-code (5 for an access
// violation), an Italian description and the faulting address.
ErrorObject faultError(const EXCEPTION_RECORD &record);

// Installs the last-chance filter for hardware faults and the terminate
// handler; both report through the unexpected-error path.
void installFaultHandlers() noexcept;

} // namespace vistoro
