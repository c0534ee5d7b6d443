#include "errors/error.h"

#include <cstring>
#include <exception>
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

// The compiler's function signature without return type and parameters,
// e.g. "int vistoro::CHANGEIMG(int, State&)" -> "CHANGEIMG".
std::string shortName(const char *signature) {
    std::string s = signature;
    auto paren = s.find('(');
    if (paren != std::string::npos)
        s.erase(paren);
    auto space = s.rfind(' ');
    if (space != std::string::npos)
        s.erase(0, space + 1);
    auto colons = s.rfind("::");
    if (colons != std::string::npos && s.compare(0, 8, "vistoro:") == 0)
        s.erase(0, std::strlen("vistoro::"));
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

long long checkedDiv(long long dividend, long long divisor, std::source_location where) {
    if (divisor == 0) {
        ErrorObject e;
        e.genCode = kGenZeroDiv;
        e.subCode = 1340;
        e.subSystem = "BASE";
        e.description = "Divisione per zero";
        e.operation = "/";
        return raiseError(e, where);
    }
    return dividend / divisor;
}

TrailFrame::TrailFrame(std::source_location where) noexcept {
    try {
        trail().push_back({shortName(where.function_name()), static_cast<int>(where.line())});
    } catch (...) {
    }
}

TrailFrame::TrailFrame(const char *name, int line) noexcept {
    try {
        trail().push_back({name, line});
    } catch (...) {
    }
}

TrailFrame::~TrailFrame() {
    if (!trail().empty())
        trail().pop_back();
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

bool recoveryPoint(const std::function<void()> &operation) noexcept {
    try {
        operation();
        return true;
    } catch (const AbandonOperation &) {
        return false;
    } catch (...) {
        try {
            ErrorObject e = errorFromCurrentException();
            raiseError(e);
        } catch (...) {
            // Abandoned by the handler, or nothing could be told: stay here.
        }
        return false;
    }
}

namespace {
std::vector<std::function<void()>> &shutdownStack() {
    static std::vector<std::function<void()>> routines;
    return routines;
}
void runShutdownsDownTo(std::size_t depth) noexcept {
    auto &stack = shutdownStack();
    while (stack.size() > depth) {
        auto routine = std::move(stack.back());
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
    shutdownStack().push_back(std::move(routine));
}

ShutdownRoutine::~ShutdownRoutine() {
    // Routines registered later are unwound first; ours is then on top.
    auto &stack = shutdownStack();
    if (!stack.empty())
        runShutdownsDownTo(stack.size() - 1);
}

void quitProgram(unsigned exitCode) noexcept {
    runShutdownsDownTo(0);
    ::ExitProcess(exitCode);
}

} // namespace vistoro
