// The please-wait box: one non-modal box at a time that says work is going
// on, with an optional progress bar or page counter. The typeless POPMSG
// drives it; any typed POPMSG closes it first.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "base/handles.h"

namespace vistoro {

struct PopMsgArgs;

struct TMsgBoxNew {
    std::string cMsg; // as the box shows it (already normalised)
    std::string cTitle = "Attendere";
    std::optional<int> nFrom, nTo; // a bar only when nFrom is given; nTo 100
    bool lPrinting = false;        // its own variant is not built yet: the plain box stands in
};

class TMsgBox {
  public:
    // Opens the box, owned by the active window; nullptr when the platform
    // could not make it.
    static std::unique_ptr<TMsgBox> New(const TMsgBoxNew &args);
    TMsgBox(const TMsgBox &) = delete;
    TMsgBox &operator=(const TMsgBox &) = delete;
    ~TMsgBox();

    // Re-enables the owner, drains pending messages, drops bValid and ends
    // the dialog. Safe to call twice.
    void End() noexcept;
    // Replaces the text; resizes around the same centre when the text's
    // width or line count changed, and always in the page-count case.
    void SetMsg(const std::string &text, bool lPageCount = false);
    void SetPos(int pos);
    // False once the window is gone (closed, or destroyed with its owner).
    bool isOpen() const noexcept;
    // The text control, for callers that want to read it back.
    HWND textWindow() const noexcept;

    std::unique_ptr<TDialog> oDlg;
    TProgress *oPrg = nullptr;
    HWND hWnd = nullptr;
    int nPag = 0;

  private:
    TMsgBox() = default;
    struct TextSize {
        int width = 0, lines = 1;
    };
    TextSize measure(const std::string &text) const;
    // The box around a text: widest line + 110 pixels wide, 5 more with a
    // bar, and (lines + 5) character heights high, a line more with a bar.
    // A replaced text keeps its own rule for the width (see SetMsg).
    int boxWidth(int textWidth, bool bar) const { return textWidth + (bar ? 5 : 0) + 110; }
    int boxHeight(int lines, bool bar) const { return (lines + (bar ? 1 : 0) + 5) * charHeight_; }
    void place(); // the sizes and places of the freshly made box

    UniqueFont font_; // outlives the dialog: freed after End
    TWindow owner_;   // stands for the active window as the owner object
    TSay *text_ = nullptr;
    TSay *icon_ = nullptr;
    int textWidth_ = 0, lines_ = 1, charHeight_ = 16;
};

// The typeless POPMSG on its normalised text.
void waitBoxPopMsg(const PopMsgArgs &args, const std::string &text);
// Closes the open please-wait box, if any, and empties CURMSG.
void closeWaitBox() noexcept;
// The open please-wait box, or nullptr.
TMsgBox *openWaitBox() noexcept;
// The text last shown in the please-wait box; empty once it was closed.
// Kept for the library's users: the viewer never opens the box.
std::string CURMSG();

} // namespace vistoro
