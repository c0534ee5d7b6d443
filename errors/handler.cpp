#include "errors/handler.h"

#include "base/text.h"
#include "errors/fault.h"
#include "errors/handler_frame.h"
#include "util/popmsg.h"

#include <shellapi.h>
#include <windows.h>

#include <vector>

namespace vistoro {
namespace {

HandlerPorts &ports() {
    static HandlerPorts p;
    return p;
}

// Trail positions of the handler's own frames, innermost last.
std::vector<std::size_t> &handlerPositions() {
    static std::vector<std::size_t> positions;
    return positions;
}

bool g_netErr = false;
bool g_reporting = false; // the report question is up

std::optional<int> popup(const std::string &cMsg, int nType) {
    if (ports().popup)
        return ports().popup(cMsg, nType);
    return POPMSG(PopMsgArgs{.cMsg = cMsg, .nType = nType});
}

std::string programPath() {
    if (ports().programPath)
        return ports().programPath();
    std::vector<wchar_t> buf(32768);
    const DWORD n = ::GetModuleFileNameW(::GetModuleHandleW(nullptr), buf.data(),
                                         static_cast<DWORD>(buf.size()));
    return narrowUtf8(std::wstring_view(buf.data(), n < buf.size() ? n : 0));
}

void openAddress(const std::string &address) {
    if (ports().openAddress) {
        ports().openAddress(address);
        return;
    }
    // A mail program that cannot be started is not reported.
    ::ShellExecuteW(nullptr, nullptr, widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

[[noreturn]] void quit(unsigned exitCode) {
    if (ports().quit)
        ports().quit(exitCode);
    ::PostQuitMessage(0);
    quitProgram(exitCode);
}

// Show the notice and leave the current operation.
[[noreturn]] void tellAndAbandon(const std::string &text) {
    SUNLOCK();
    popup(text, 1);
    throw AbandonOperation{};
}

void appendHex(std::string &out, unsigned char c) {
    static const char kDigits[] = "0123456789ABCDEF";
    out += '%';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
}

} // namespace

HandlerFrame::HandlerFrame(const char *name) noexcept : frame_(name, 0) {
    try {
        handlerPositions().push_back(trailDepth() - 1);
        recorded_ = true;
    } catch (...) {
    }
}

HandlerFrame::~HandlerFrame() {
    if (recorded_ && !handlerPositions().empty())
        handlerPositions().pop_back();
}

int HandlerFrame::onTop() noexcept {
    const auto &pos = handlerPositions();
    const std::size_t depth = trailDepth();
    std::size_t k = 0;
    while (k < pos.size() && k < depth && pos[pos.size() - 1 - k] == depth - 1 - k)
        ++k;
    return static_cast<int>(k);
}

bool reportInProgress() noexcept {
    return g_reporting;
}

void setHandlerPorts(HandlerPorts p) {
    ports() = std::move(p);
}

void SUNLOCK() noexcept {}

bool NETERR(std::optional<bool> set) noexcept {
    if (set)
        g_netErr = *set;
    return g_netErr;
}

void ERRORSYS() {
    setErrorHandler([](const ErrorObject &e) { return DEFERROR(e); });
    installFaultHandlers();
}

std::string ERRORMESSAGE(const ErrorObject &e) {
    HandlerFrame self("ERRORMESSAGE");
    std::string msg = e.severity > 1 ? "Error " : "Warning ";
    msg += e.subSystem ? *e.subSystem : std::string("???");
    // Levels count from the routine that raised; the handler's frames above
    // it are not levels. A table command names its caller.
    int level = HandlerFrame::onTop();
    if (e.subSystem && e.subSystem->compare(0, 5, "DBCMD") == 0)
        ++level;
    msg += e.subCode ? "/" + std::to_string(*e.subCode) : std::string("/???");
    if (e.description)
        msg += "  " + *e.description;
    if (!e.filename.empty())
        msg += ": " + e.filename;
    else if (!e.operation.empty())
        msg += ": " + e.operation;
    while (PROCLINE(level) == 0 && !PROCNAME(level).empty())
        ++level;
    msg += ";Function: " + PROCNAME(level) + "  Line: " + std::to_string(PROCLINE(level));
    return msg;
}

namespace {

// The run-time library's own codes that the handler tests.
constexpr int kSubDiskFull = 2016;
constexpr int kSubCorrupt = 1012;
constexpr int kGenCorrupt = 32;
constexpr int kGenOpen = 21;
constexpr int kGenAppendLock = 40;

// The failures told in plain words and then abandoned, tested in this
// order, the first that matches acting: which code, its value, and the
// words before and after the file's name.
enum class Code { os, sub, gen };
struct PlainNotice {
    Code field;
    int value;
    const char *before, *after;
};
constexpr PlainNotice kPlainNotices[] = {
    {Code::os, ERROR_NOT_READY, "Disco ", " non pronto."},
    {Code::os, ERROR_SECTOR_NOT_FOUND, "Disco ", " non formattato."},
    {Code::os, ERROR_GEN_FAILURE, "Disco ", " non formattato."},
    {Code::os, ERROR_WRITE_PROTECT, "Disco ", " protetto da scrittura."},
    {Code::os, ERROR_CANNOT_MAKE, "Directory ", " piena."},
    {Code::sub, kSubDiskFull, "Spazio sul disco ", " insufficiente."},
    {Code::os, ERROR_ACCESS_DENIED, "Impossibile accedere al file ", "."},
    {Code::os, ERROR_PATH_NOT_FOUND, "Percorso ", " non trovato."},
    {Code::os, ERROR_FILE_NOT_FOUND, "Impossibile aprire il file ", "."},
    {Code::sub, kSubCorrupt, "Il file ", " risulta corrotto."},
    {Code::gen, kGenCorrupt, "Il file ", " risulta corrotto."},
};

int codeOf(const ErrorObject &e, Code field) {
    switch (field) {
    case Code::os:
        return e.osCode;
    case Code::sub:
        return e.subCode.value_or(-1);
    default:
        return e.genCode;
    }
}

} // namespace

int DEFERROR(const ErrorObject &e) {
    HandlerFrame self("DEFERROR");
    for (const PlainNotice &n : kPlainNotices)
        if (codeOf(e, n.field) == n.value)
            tellAndAbandon(n.before + upperText(e.filename) + n.after);
    if (e.genCode == kGenToolkit)
        tellAndAbandon(ERRORMESSAGE(e));
    if (e.genCode == kGenZeroDiv)
        return 0;
    if (e.genCode == kGenOpen && e.osCode == ERROR_SHARING_VIOLATION && e.canDefault) {
        NETERR(true);
        return 0;
    }
    if (e.genCode == kGenAppendLock && e.canDefault) {
        NETERR(true);
        return 0;
    }
    // An error raised while the report question is up (a hook run by the
    // box's own message loop) abandons that hook; the question stays.
    if (g_reporting)
        throw AbandonOperation{};
    SUNLOCK();
    reportUnexpected(ERRORMESSAGE(e));
}

void reportUnexpected(const std::string &cMsg) {
    HandlerFrame self("REPORTUNEXPECTED");
    g_reporting = true;
    std::optional<int> answer;
    try {
        answer = popup(cMsg + ";;Inviare rapporto di errore via email?", 2);
    } catch (...) {
        // Nothing can be asked: end without the mail.
    }
    if (answer.value_or(0) == 1) {
        try {
            openAddress(mailtoAddress(programPath(), cMsg));
        } catch (...) {
        }
    }
    g_reporting = false;
    quit(kExitUnexpected);
}

std::string encodeMailBody(const std::string &text, bool semicolonBreaks) {
    // Whole characters as UTF-8, so a mail program decodes them as one.
    const std::string utf8 = narrowUtf8(widen(text));
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 4);
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ';')
            out += semicolonBreaks ? "%0d%0a" : "%3B";
        else if (c == '&')
            out += "%26";
        else if (c < 0x20 || c >= 0x7F || c == '%' || c == '#' || c == '+' || c == '"' ||
                 c == '<' || c == '>')
            appendHex(out, c);
        else
            out += ch;
    }
    return out;
}

std::string mailtoAddress(const std::string &path, const std::string &cMsg) {
    return "mailto:?subject=Rapporto di errore&body=Applicazione: " + encodeMailBody(path, false) +
           "%0d%0a%0d%0a" + encodeMailBody(cMsg, true);
}

} // namespace vistoro
