#include "viewer/copy.h"

#include "base/handles.h"
#include "imaging/clipboard_dib.h"

namespace vistoro {

namespace {

// A clipboard viewer or manager holds the clipboard for a moment after
// every change: the copy tries a few times before it gives up.
constexpr int kOpenTries = 10;
constexpr DWORD kBetweenTriesMs = 20;

// The clipboard takes the block only when the call succeeds.
bool put(UINT format, UniqueGlobal &block) {
    if (!::SetClipboardData(format, block.get()))
        return false;
    block.release();
    return true;
}

} // namespace

bool copyPicture(HWND owner, HBITMAP shown) {
    std::optional<ClipboardDibs> dibs = shown ? clipboardDibs(shown) : std::nullopt;
    if (dibs) {
        for (int attempt = 0; attempt < kOpenTries; ++attempt) {
            if (attempt)
                ::Sleep(kBetweenTriesMs);
            const ClipboardScope clipboard(owner);
            if (!clipboard.open())
                continue;
            if (::EmptyClipboard() && put(CF_DIBV5, dibs->v5) && put(CF_DIB, dibs->plain))
                return true;
            break;
        }
    }
    ::MessageBeep(MB_ICONWARNING);
    return false;
}

} // namespace vistoro
