// The process-wide handler of run-time errors: it decides by an error's codes
// whether to recover silently, to tell the user and abandon the current
// operation, or to report an unexpected error and end the program.
#pragma once

#include "base/error.h"

#include <functional>
#include <optional>
#include <string>

namespace vistoro {

// Installs DEFERROR as the handler of every raised error, a last-chance
// filter for hardware faults and a terminate handler for exceptions that
// escape every recovery point. Called once before MAIN.
void ERRORSYS();

// The handler: returns 0 (the failing expression yields 0) or 0 as false
// (the failing operation fails softly); otherwise throws AbandonOperation
// after telling the user, or reports the error and ends the program.
int DEFERROR(const ErrorObject &error);

// The one-paragraph description used in notices and reports, ending with
// the routine that failed (";Function: NAME  Line: N").
std::string ERRORMESSAGE(const ErrorObject &error);

// The unexpected-error path on its own: asks whether to send the report,
// opens the mail when the answer is OK, then ends the program. Used by
// DEFERROR and by the fault filter.
[[noreturn]] void reportUnexpected(const std::string &cMsg);

// The mailto address of the report. The body is percent-encoded so that it
// arrives whole in any mail program: "&" becomes "%26", ";" a line break
// ("%0d%0a"), and "%", "#", "+", quotes, angle brackets, control characters
// and bytes above 127 (UTF-8) are encoded too.
std::string mailtoAddress(const std::string &programPath, const std::string &cMsg);
// One part of a mailto body encoded as above; with semicolonBreaks false a
// ";" is kept as a character ("%3B"), as a file path needs.
std::string encodeMailBody(const std::string &text, bool semicolonBreaks = true);

// The library's sign-in lock. Nobody ever signs in to the library in this
// program, so there is never a lock to release.
void SUNLOCK() noexcept;
// The table engine's network-error flag: set by the handler when an open or
// a lock fails softly, read by whoever tried it.
bool NETERR(std::optional<bool> set = std::nullopt) noexcept;

// Seam around the handler's platform calls, so tests can watch them without
// a box appearing or the process ending. Empty members use the real call.
struct HandlerPorts {
    // POPMSG with a text and a type (no title: the default caption).
    std::function<std::optional<int>(const std::string &cMsg, int nType)> popup;
    // ShellExecute of an address with show mode 1.
    std::function<void(const std::string &address)> openAddress;
    // GETMODULEFILENAME of the program instance.
    std::function<std::string()> programPath;
    // PostQuitMessage(0) and the run-time's quit. The real one never
    // returns; a test's may throw to leave the handler.
    std::function<void(unsigned exitCode)> quit;
};
void setHandlerPorts(HandlerPorts ports);

// The exit code of a program ended by an unexpected error.
inline constexpr unsigned kExitUnexpected = 1;

} // namespace vistoro
