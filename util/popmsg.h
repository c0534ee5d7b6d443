// The library's one way of telling the user something: a modal message box
// of one of six types, or (without a type) the please-wait box.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vistoro {

struct PopMsgArgs {
    std::optional<std::string> cMsg;
    std::optional<int> nType;
    std::optional<std::string> cTitle;
    bool lSetText = false;
    std::optional<int> nFrom;
    std::optional<int> nTo;
    std::optional<int> nStep;
    bool lPrinting = false;
    bool lNextPage = false;
};

// Nothing for types 1 and unknown ones; 0/1 for the yes/no types; the
// button code (6, 7 or 2) for type 3. Any call with a type first closes the
// please-wait box; a call without one drives that box (util/wait_box.h).
std::optional<int> POPMSG(const PopMsgArgs &args);
inline std::optional<int> POPMSG(const std::string &text, int type, const std::string &title = "") {
    PopMsgArgs a{.cMsg = text, .nType = type};
    if (!title.empty())
        a.cTitle = title;
    return POPMSG(a);
}

// The text as the box shows it: trimmed, accents mapped, ";" as line breaks.
std::string popMsgText(const std::string &text);

// Seam for tests: replaces the platform message box (owner, text, title,
// flags -> answer). nullptr restores the real box.
using MessageBoxCall = int (*)(HWND owner, const std::string &text, const std::string &title,
                               unsigned flags);
void setMessageBoxCall(MessageBoxCall call) noexcept;
} // namespace vistoro
