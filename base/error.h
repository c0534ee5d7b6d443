// The run-time error object, the raise path, the routine trail and the
// recovery points. Everything else in the program stands on this file; the
// handler that decides what an error means is installed at start-up.
#pragma once

#include <functional>
#include <optional>
#include <source_location>
#include <string>
#include <vector>

namespace vistoro {

struct ErrorObject {
    int osCode = 0;                         // operating-system code of the failed call
    int genCode = 0;                        // generic class of the error
    std::optional<int> subCode;             // subsystem's own number; absent: not a number
    std::optional<std::string> subSystem;   // absent: not a text
    int severity = 2;                       // above 1 an error, else a warning
    std::optional<std::string> description; // absent: not a text
    std::string filename;
    std::string operation;
    bool canDefault = false;
};

// Generic codes used by this program.
inline constexpr int kGenZeroDiv = 5;
inline constexpr int kGenToolkit = 1001; // told and abandoned by the handler

// Thrown to leave the current operation; caught at the nearest recovery point
// (every window and dialog procedure is one). Deliberately not a std::exception.
struct AbandonOperation {};

// Thrown when an error is raised while no handler is installed (unit tests).
struct UnhandledError {
    ErrorObject error;
};

// The handler returns the value handed back to the failing operation
// (0, or false as 0), throws AbandonOperation, or ends the program.
using ErrorHandler = std::function<int(const ErrorObject &)>;
void setErrorHandler(ErrorHandler handler);
bool hasErrorHandler() noexcept;

// Hands an error to the handler and returns what it hands back. The raise
// site's line becomes the current line of the innermost trail frame.
int raiseError(const ErrorObject &error,
               std::source_location where = std::source_location::current());

// Integer division through the error handler: a zero divisor raises the
// generic code 5 error and yields what the handler hands back (0).
long long checkedDiv(long long dividend, long long divisor,
                     std::source_location where = std::source_location::current());
// The same for divisions with fractions (proportions, halves).
double checkedDivReal(double dividend, double divisor,
                      std::source_location where = std::source_location::current());

// The light call trail: each guarded routine records its name and line.
// Routines of the handler itself record line 0 so a walk passes over them.
class TrailFrame {
  public:
    explicit TrailFrame(std::source_location where = std::source_location::current()) noexcept;
    TrailFrame(const char *name, int line) noexcept;
    TrailFrame(const TrailFrame &) = delete;
    TrailFrame &operator=(const TrailFrame &) = delete;
    ~TrailFrame();

  private:
    bool pushed_ = false;
    int uncaught_ = 0; // exceptions in flight when the routine began
};

struct TrailEntry {
    std::string name;
    int line = 0;
};
// Level 0 is the innermost routine. Beyond the trail: "" and 0.
std::string PROCNAME(int level = 0);
int PROCLINE(int level = 0);
std::vector<TrailEntry> trailSnapshot();
// How many frames the trail holds now.
std::size_t trailDepth() noexcept;

namespace detail {
// The two ends of every recovery point: the trail's depth on entry, and the
// handling of the exception in flight that reached it.
std::size_t recoveryDepth() noexcept;
void recoverFromCurrentException(std::size_t depth) noexcept;
} // namespace detail

// A recovery point: runs the callable and keeps every exception inside.
// AbandonOperation ends the operation quietly; any other exception is turned
// into an error object and handed to the handler, with the trail as it stood
// where the exception was thrown (the frames the unwinding passed are put
// back while the handler runs). Returns true when the callable ran to its end.
// The callable is taken as it is, with nothing allocated for it, so nothing
// can fail before the guard stands.
template <class Operation> bool recoveryPoint(Operation &&operation) noexcept {
    const std::size_t depth = detail::recoveryDepth();
    try {
        std::forward<Operation>(operation)();
        return true;
    } catch (...) {
        detail::recoverFromCurrentException(depth);
        return false;
    }
}

// Turns the exception in flight into an error object for the handler.
ErrorObject errorFromCurrentException();

// Shut-down routines: registered by the entry point's scoped start-up
// objects, run once each in reverse order, either when the object goes out
// of scope or when quitProgram ends the process early.
class ShutdownRoutine {
  public:
    explicit ShutdownRoutine(std::function<void()> routine);
    ShutdownRoutine(const ShutdownRoutine &) = delete;
    ShutdownRoutine &operator=(const ShutdownRoutine &) = delete;
    ~ShutdownRoutine();
};
// Routines registered and not yet run.
std::size_t pendingShutdowns() noexcept;
// Runs every registered shut-down routine and ends the process.
[[noreturn]] void quitProgram(unsigned exitCode) noexcept;

} // namespace vistoro
