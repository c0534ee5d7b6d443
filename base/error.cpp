#include "base/error.h"

#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <stdexcept>

#include <windows.h>

namespace vistoro {
namespace {

ErrorHandler &handlerSlot() {
    static ErrorHandler handler;
    return handler;
}

struct Frame {
    std::string name;
    int line;
};

std::vector<Frame> &trail() {
    static std::vector<Frame> frames;
    return frames;
}

// Frames popped while an exception unwound them, innermost first, each with
// the depth it had, so a recovery point can show the handler where the
// exception came from. Cleared whenever a routine starts normally.
struct LostFrame {
    Frame frame;
    std::size_t depth;
};
std::vector<LostFrame> &unwound() {
    static std::vector<LostFrame> frames;
    return frames;
}

// Where the parameter list begins: the first "(" outside template brackets,
// so a return type such as std::function<void()> is passed over.
std::size_t parameterListStart(const std::string &s) {
    int depth = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '<')
            ++depth;
        else if (s[i] == '>' && depth > 0)
            --depth;
        else if (s[i] == '(' && depth == 0)
            return i;
    }
    return std::string::npos;
}

// The compiler's function signature without return type and parameters,
// e.g. "int vistoro::CHANGEIMG(int, State&)" -> "CHANGEIMG".
std::string shortName(const char *signature) {
    std::string s = signature;
    auto paren = parameterListStart(s);
    if (paren != std::string::npos)
        s.erase(paren);
    int depth = 0; // the last blank outside template brackets ends the return type
    for (std::size_t i = s.size(); i-- > 0;) {
        if (s[i] == '>')
            ++depth;
        else if (s[i] == '<' && depth > 0)
            --depth;
        else if (s[i] == ' ' && depth == 0) {
            s.erase(0, i + 1);
            break;
        }
    }
    if (s.compare(0, 9, "vistoro::") == 0)
        s.erase(0, std::strlen("vistoro::"));
    // Routines private to a file are named as they are written.
    const std::string anonymous = "{anonymous}::";
    for (auto at = s.find(anonymous); at != std::string::npos; at = s.find(anonymous, at))
        s.erase(at, anonymous.size());
    return s;
}

} // namespace

void setErrorHandler(ErrorHandler handler) { handlerSlot() = std::move(handler); }
bool hasErrorHandler() noexcept { return static_cast<bool>(handlerSlot()); }

int raiseError(const ErrorObject &error, std::source_location where) {
    auto &frames = trail();
    if (!frames.empty() && frames.back().line != 0 &&
        frames.back().name == shortName(where.function_name()))
        frames.back().line = static_cast<int>(where.line());
    if (!handlerSlot())
        throw UnhandledError{error};
    return handlerSlot()(error);
}

namespace {
ErrorObject zeroDivisionError() {
    ErrorObject e;
    e.genCode = kGenZeroDiv;
    e.subCode = 1340;
    e.subSystem = "BASE";
    e.description = "Divisione per zero";
    e.operation = "/";
    return e;
}
} // namespace

long long checkedDiv(long long dividend, long long divisor, std::source_location where) {
    if (divisor == 0)
        return raiseError(zeroDivisionError(), where);
    if (divisor == -1 && dividend == std::numeric_limits<long long>::min())
        return std::numeric_limits<long long>::max(); // the quotient does not fit: saturate
    return dividend / divisor;
}

double checkedDivReal(double dividend, double divisor, std::source_location where) {
    if (divisor == 0.0)
        return raiseError(zeroDivisionError(), where);
    return dividend / divisor;
}

TrailFrame::TrailFrame(std::source_location where) noexcept
    : uncaught_(std::uncaught_exceptions()) {
    if (uncaught_ == 0)
        unwound().clear();
    try {
        trail().push_back({shortName(where.function_name()), static_cast<int>(where.line())});
        pushed_ = true;
    } catch (...) {
    }
}

TrailFrame::TrailFrame(const char *name, int line) noexcept
    : uncaught_(std::uncaught_exceptions()) {
    if (uncaught_ == 0)
        unwound().clear();
    try {
        trail().push_back({name ? name : "", line});
        pushed_ = true;
    } catch (...) {
    }
}

TrailFrame::~TrailFrame() {
    // A frame that could not be recorded must not pop its caller's.
    auto &frames = trail();
    if (!pushed_ || frames.empty())
        return;
    const std::size_t depth = frames.size() - 1;
    if (std::uncaught_exceptions() > uncaught_) {
        try {
            unwound().push_back({std::move(frames.back()), depth});
        } catch (...) {
        }
    }
    frames.pop_back();
}

std::string PROCNAME(int level) {
    const auto &frames = trail();
    if (level < 0 || level >= static_cast<int>(frames.size()))
        return "";
    return frames[frames.size() - 1 - level].name;
}

int PROCLINE(int level) {
    const auto &frames = trail();
    if (level < 0 || level >= static_cast<int>(frames.size()))
        return 0;
    return frames[frames.size() - 1 - level].line;
}

std::size_t trailDepth() noexcept { return trail().size(); }

std::vector<TrailEntry> trailSnapshot() {
    std::vector<TrailEntry> out;
    for (auto it = trail().rbegin(); it != trail().rend(); ++it)
        out.push_back({it->name, it->line});
    return out;
}

ErrorObject errorFromCurrentException() {
    ErrorObject e;
    e.subSystem = "C++";
    e.genCode = 0;
    try {
        throw;
    } catch (const UnhandledError &u) {
        return u.error;
    } catch (const std::bad_alloc &) {
        e.subCode = 1;
        e.description = "Memoria insufficiente";
    } catch (const std::exception &x) {
        e.subCode = 2;
        e.description = x.what();
    } catch (...) {
        e.subCode = 3;
        e.description = "Eccezione sconosciuta";
    }
    return e;
}

namespace {
// Puts back the frames that the last unwinding passed between this depth and
// the throw, outermost first; only an unbroken chain counts, so frames left
// over from an exception that was caught and handled elsewhere are dropped.
void restoreUnwound(std::size_t depth) {
    auto lost = std::move(unwound());
    unwound().clear();
    auto &frames = trail();
    if (frames.size() != depth)
        return;
    for (auto it = lost.rbegin(); it != lost.rend() && it->depth == frames.size(); ++it)
        frames.push_back(std::move(it->frame));
}
} // namespace

namespace detail {

std::size_t recoveryDepth() noexcept { return trail().size(); }

void recoverFromCurrentException(std::size_t depth) noexcept {
    try {
        throw;
    } catch (const AbandonOperation &) {
        unwound().clear();
    } catch (...) {
        try {
            restoreUnwound(depth);
            ErrorObject e = errorFromCurrentException();
            raiseError(e);
        } catch (...) {
            // Abandoned by the handler, or nothing could be told: stay here.
        }
        auto &frames = trail();
        if (frames.size() > depth)
            frames.resize(depth);
    }
}

} // namespace detail

namespace {
struct Shutdown {
    const ShutdownRoutine *owner;
    std::function<void()> routine;
};
std::vector<Shutdown> &shutdownStack() {
    static std::vector<Shutdown> routines;
    return routines;
}
void runShutdownsDownTo(std::size_t depth) noexcept {
    auto &stack = shutdownStack();
    while (stack.size() > depth) {
        auto routine = std::move(stack.back().routine);
        stack.pop_back();
        try {
            if (routine)
                routine();
        } catch (...) {
            // Clean-up never raises.
        }
    }
}
} // namespace

ShutdownRoutine::ShutdownRoutine(std::function<void()> routine) {
    shutdownStack().push_back({this, std::move(routine)});
}

ShutdownRoutine::~ShutdownRoutine() {
    // Scoped objects go in reverse order, so ours is normally on top; should
    // one outlive a later one, that later routine still runs first.
    auto &stack = shutdownStack();
    for (std::size_t i = stack.size(); i-- > 0;) {
        if (stack[i].owner == this) {
            runShutdownsDownTo(i);
            return;
        }
    }
}

std::size_t pendingShutdowns() noexcept { return shutdownStack().size(); }

void quitProgram(unsigned exitCode) noexcept {
    runShutdownsDownTo(0);
    ::ExitProcess(exitCode);
}

} // namespace vistoro
