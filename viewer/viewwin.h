// The viewing window: the current picture at its natural size in a
// borderless window 7 pixels larger than the picture, centred on the
// desktop, and the picture operations the viewer's commands share.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "base/handles.h"
#include "toolkit/dialog.h"
#include "viewer/commands.h"
#include "viewer/imagelist.h"
#include "viewer/picture_cache.h"
#include "viewer/playback.h"
#include "viewer/startup.h"

namespace vistoro {

// Width and height of a bitmap in pixels, read from the bitmap itself.
struct ImageSize {
    int width = 0, height = 0;
    bool operator==(const ImageSize &) const = default;
};

inline constexpr const char *kViewerCaption = "ZELM Vistoro";
inline constexpr const char *kNoImageFound = "No image file found.";
// The viewing window's title: this, then the current file.
inline const std::string kTitlePrefix = std::string(kViewerCaption) + " - ";
// The frame allowance: the window is this much wider and higher than the picture.
inline constexpr int kFrameAllowance = 7;

// What start-up settled plus the current picture. Every hook of the viewing
// window works on one object of this type, so what a command changes is
// what the next paint draws. It holds exactly one current bitmap (or none)
// and releases it when it goes.
struct ViewerState {
    std::string cFile;               // current file, lower-case full path
    std::string cDir;                // its folder
    std::optional<ImageList> aFiles; // absent until a command needs it
    int nIdx = 0;                    // 1-based position in aFiles; 0: not in it
    UniqueBitmap hBmp;               // the current bitmap
    ImageSize aSize;                 // its size
    bool lTurned = false;            // hBmp was turned in memory since it was read
    int nWheelRest = 0;              // a part of a wheel notch not yet stepped
    PictureCache pictures;           // decoded ahead, and the picture just left
    // A moving GIF's frames, while the viewing window is open.
    std::unique_ptr<Playback> player;

    ViewerState() = default;
    explicit ViewerState(const StartState &start);
    ViewerState(const ViewerState &) = delete;
    ViewerState &operator=(const ViewerState &) = delete;
    ~ViewerState();
};

// Decodes an accepted image file; 0 for any other file or a failed decode.
// With lMsg the failure is told: "<EXT> format not supported." or
// "Invalid or unsupported <EXT> file.", EXT the whole extension upper-cased.
HBITMAP LOADIMAGE(const std::string &cFile, bool lMsg = true);
// The file's extension as the notices name it: the text after the last dot
// of the name, upper-cased; "" when there is none.
std::string upperExtension(const std::string &cFile);
ImageSize AIMGSIZE(HBITMAP hBmp);
// Paints the bitmap at (nTop, nLeft) with the given size; nothing for 0.
void DRAWIMG(HDC hDC, HBITMAP hBmp, int nTop = 0, int nLeft = 0, int nWidth = 0, int nHeight = 0);
// Releases the bitmap (harmless for 0) and sets the holder to 0.
void DELETEIMG(HBITMAP &hBmp) noexcept;
void DELETEIMG(UniqueBitmap &hBmp) noexcept;
// Moves the window with the mouse while the left button is held.
void DRAGDLG(TDialog &oDlg);

// Sizes a window to the picture + 7 and centres it on the desktop in a
// single move, repainting at the final place only; a window already there
// is left alone (the caller invalidates what changed).
void fitWindowToPicture(HWND wnd, const ImageSize &size);

// Marks the window's picture for repainting. Where the picture lets the
// background through, the background is erased first, so that nothing of
// what the window showed before is seen through it; an opaque picture is
// painted straight over the old one, without a flash of background.
// paintsEveryPixel, when known, saves reading the picture to find out.
void repaintPicture(TDialog &oDlg, HBITMAP hBmp,
                    std::optional<bool> paintsEveryPixel = std::nullopt);
// A new current picture: repaintPicture, the window fitted to its size,
// and the paint dispatched.
void showNewPicture(TDialog &oDlg, HBITMAP hBmp, const ImageSize &size,
                    std::optional<bool> paintsEveryPixel = std::nullopt);

// The second half of the program's entry operation: loads the current file
// (with a folder argument, the first entry that loads), shows the viewing
// window until it is closed, and releases the picture. Returns without a
// window, after the notice, when nothing can be shown.
void showViewer(ViewerState &st);

// The shown picture plays when it is a moving GIF; playStops ends that.
void playShown(ViewerState &st);
void playStops(ViewerState &st) noexcept;
// The window's picture is not the file's own decode: turned in memory, or
// a frame that the playback made.
bool showsOwnPicture(const ViewerState &st) noexcept;
// What Print prints in place of the file: the picture as shown when it is
// not the file's own decode (turned, or the moving picture's frame on show);
// none when the file itself is to be read again.
HBITMAP pictureForPrint(const ViewerState &st) noexcept;

// Decodes ahead from the shown picture in the direction of `command`
// (None: forward), over the keys' list of the folder or, before the keys
// have made one, over a list of the look-ahead's own.
void lookAheadFrom(ViewerState &st, ViewerCommand command);

// Builds the viewing window over st and runs it modally until it closes.
// afterInit, when given, runs at the end of the window's on-init hook (for
// in-process tests).
void openViewingWindow(ViewerState &st, const std::function<void(TDialog &)> &afterInit = {});

} // namespace vistoro
