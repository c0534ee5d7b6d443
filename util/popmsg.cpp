#include "util/popmsg.h"

#include "toolkit/wrappers.h"
#include "toolkit/message_drain.h"
#include "util/wait_box.h"
#include "base/text.h"

#include <windows.h>

namespace vistoro {
namespace {

MessageBoxCall g_boxCall = nullptr;

// Letters written in the old DOS code page, shown as the letters they meant.
struct Accent {
    unsigned char dosByte;
    wchar_t letter;
};
constexpr Accent kAccents[] = {
    {0x85, L'\u00E0'}, {0x8A, L'\u00E8'}, {0x82, L'\u00E9'},
    {0x8D, L'\u00EC'}, {0x95, L'\u00F2'}, {0x97, L'\u00F9'},
};

// Maps DOS accent bytes to the letter they meant, in UTF-8 as all the
// program's text. Only bytes outside well-formed UTF-8 sequences are
// touched, so a name such as "Tōkyō.jpg" passes unchanged.
std::string mapAccents(const std::string &s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = utf8SequenceAt(s, i);
        if (len > 0) {
            out.append(s, i, len);
            i += len;
            continue;
        }
        const unsigned char b = static_cast<unsigned char>(s[i]);
        bool mapped = false;
        for (const Accent &a : kAccents) {
            if (a.dosByte == b) {
                out += narrowUtf8(std::wstring(1, a.letter));
                mapped = true;
                break;
            }
        }
        if (!mapped)
            out += s[i];
        ++i;
    }
    return out;
}

// Platform flags of the six box types (none for 0).
constexpr UINT kTypeFlags[] = {
    0,
    MB_ICONINFORMATION | MB_OK,
    MB_ICONQUESTION | MB_OKCANCEL,
    MB_ICONQUESTION | MB_YESNOCANCEL,
    MB_ICONQUESTION | MB_YESNO,
    MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2,
    MB_ICONSTOP | MB_OKCANCEL,
};
static_assert(kTypeFlags[1] == 64 && kTypeFlags[2] == 33 && kTypeFlags[3] == 35 &&
              kTypeFlags[4] == 36 && kTypeFlags[5] == 292 && kTypeFlags[6] == 17);

int showBox(HWND owner, const std::string &text, const std::string &title, UINT flags) {
    if (g_boxCall)
        return g_boxCall(owner, text, title, flags);
    return MESSAGEBOX(owner, text, title, flags);
}

} // namespace

void setMessageBoxCall(MessageBoxCall call) noexcept { g_boxCall = call; }

std::string popMsgText(const std::string &text) {
    std::string s = mapAccents(trim(text));
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == ';')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

std::optional<int> POPMSG(const PopMsgArgs &args) {
    const std::string text = args.cMsg ? popMsgText(*args.cMsg) : std::string();
    std::optional<int> result;
    if (args.nType) {
        // A notice never stands beside a stale please-wait box.
        closeWaitBox();
        const int type = *args.nType;
        if (type >= 1 && type <= 6) {
            const std::string title =
                args.cTitle && !args.cTitle->empty() ? *args.cTitle : std::string("Attenzione");
            if (type != 1)
                TONE(880, 1);
            const int answer = showBox(GETACTIVEWINDOW(), text, title, kTypeFlags[type]);
            switch (type) {
            case 2:
            case 6:
                result = answer == IDOK ? 1 : 0;
                break;
            case 3:
                result = answer;
                break;
            case 4:
            case 5:
                result = answer == IDYES ? 1 : 0;
                break;
            default:
                break;
            }
        }
    } else {
        waitBoxPopMsg(args, text);
    }
    SYSREFRESH();
    return result;
}

} // namespace vistoro
