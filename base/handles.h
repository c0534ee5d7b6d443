// Move-only owners for platform handles, one per kind, plus scoped guards
// that keep everything they need to undo. Every resource the program takes
// is held by one of these, so it is released on every path.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <shellapi.h>

#include <type_traits>
#include <utility>

namespace vistoro {

// Owns a handle of type H; Traits gives the empty value and the release call.
template <class H, class Traits> class UniqueHandle {
  public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(H h) noexcept : h_(h) {}
    UniqueHandle(const UniqueHandle &) = delete;
    UniqueHandle &operator=(const UniqueHandle &) = delete;
    UniqueHandle(UniqueHandle &&o) noexcept : h_(o.release()) {}
    UniqueHandle &operator=(UniqueHandle &&o) noexcept {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    H get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::empty(); }
    // Hands the handle over; the owner forgets it.
    H release() noexcept { return std::exchange(h_, Traits::empty()); }
    void reset(H h = Traits::empty()) noexcept {
        H old = std::exchange(h_, h);
        if (old != Traits::empty())
            Traits::close(old);
    }
    // For calls that write a handle through a pointer.
    H *put() noexcept {
        reset();
        return &h_;
    }
    // For calls that write a handle through a pointer and may leave garbage
    // there when they fail: the owner keeps the handle only when succeeded
    // says so, and otherwise forgets it without releasing it.
    template <class Call> bool fill(Call &&call) {
        const bool succeeded = std::forward<Call>(call)(put());
        if (!succeeded)
            h_ = Traits::empty();
        return succeeded;
    }

  private:
    H h_ = Traits::empty();
};

template <class H, auto Close> struct NullTraits {
    static constexpr H empty() noexcept { return nullptr; }
    static void close(H h) noexcept { Close(h); }
};

inline void deleteGdiObject(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void deleteDc(HDC h) noexcept { ::DeleteDC(h); }
inline void freeGlobal(HGLOBAL h) noexcept { ::GlobalFree(h); }
inline void destroyIcon(HICON h) noexcept { ::DestroyIcon(h); }
inline void destroyMenu(HMENU h) noexcept { ::DestroyMenu(h); }
inline void closeHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void freeLocal(HLOCAL h) noexcept { ::LocalFree(h); }
inline void deleteMetafile(HMETAFILE h) noexcept { ::DeleteMetaFile(h); }
// A recording context still open: closing it yields the metafile, which is
// then deleted (the file it was recorded into stays).
inline void discardMetafileDc(HDC h) noexcept {
    if (HMETAFILE mf = ::CloseMetaFile(h))
        ::DeleteMetaFile(mf);
}
inline void releaseUnknown(IUnknown *p) noexcept { p->Release(); }
inline void finishDrop(HDROP h) noexcept { ::DragFinish(h); }

using UniqueBitmap = UniqueHandle<HBITMAP, NullTraits<HBITMAP, deleteGdiObject>>;
using UniqueBrush = UniqueHandle<HBRUSH, NullTraits<HBRUSH, deleteGdiObject>>;
using UniquePalette = UniqueHandle<HPALETTE, NullTraits<HPALETTE, deleteGdiObject>>;
using UniqueFont = UniqueHandle<HFONT, NullTraits<HFONT, deleteGdiObject>>;
using UniqueDC = UniqueHandle<HDC, NullTraits<HDC, deleteDc>>;
using UniqueGlobal = UniqueHandle<HGLOBAL, NullTraits<HGLOBAL, freeGlobal>>;
using UniqueIcon = UniqueHandle<HICON, NullTraits<HICON, destroyIcon>>;
using UniqueMenu = UniqueHandle<HMENU, NullTraits<HMENU, destroyMenu>>;
using UniqueStream = UniqueHandle<IStream *, NullTraits<IStream *, releaseUnknown>>;
using UniqueLocal = UniqueHandle<HLOCAL, NullTraits<HLOCAL, freeLocal>>;
using UniqueMetafile = UniqueHandle<HMETAFILE, NullTraits<HMETAFILE, deleteMetafile>>;
using UniqueMetafileDC = UniqueHandle<HDC, NullTraits<HDC, discardMetafileDc>>;
// The files of a drop, handed to the window that took it.
using UniqueDrop = UniqueHandle<HDROP, NullTraits<HDROP, finishDrop>>;

// Kernel handles whose empty value is INVALID_HANDLE_VALUE.
template <auto Close> struct InvalidTraits {
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { Close(h); }
};
inline void closeFind(HANDLE h) noexcept { ::FindClose(h); }
using UniqueFind = UniqueHandle<HANDLE, InvalidTraits<closeFind>>;
using UniqueFile = UniqueHandle<HANDLE, InvalidTraits<closeHandle>>;
using UniqueKernelHandle = UniqueHandle<HANDLE, NullTraits<HANDLE, closeHandle>>;

// GetDC/ReleaseDC: keeps the window so the release has what it needs.
class WindowDC {
  public:
    explicit WindowDC(HWND wnd) noexcept : wnd_(wnd), dc_(::GetDC(wnd)) {}
    WindowDC(const WindowDC &) = delete;
    WindowDC &operator=(const WindowDC &) = delete;
    ~WindowDC() {
        if (dc_)
            ::ReleaseDC(wnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

  private:
    HWND wnd_;
    HDC dc_;
};

// BeginPaint/EndPaint.
class PaintScope {
  public:
    explicit PaintScope(HWND wnd) noexcept : wnd_(wnd) { dc_ = ::BeginPaint(wnd, &ps_); }
    PaintScope(const PaintScope &) = delete;
    PaintScope &operator=(const PaintScope &) = delete;
    ~PaintScope() { ::EndPaint(wnd_, &ps_); }
    HDC dc() const noexcept { return dc_; }
    const PAINTSTRUCT &info() const noexcept { return ps_; }

  private:
    HWND wnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// SelectObject with the previous selection restored at scope end.
class SelectGuard {
  public:
    SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
    SelectGuard(const SelectGuard &) = delete;
    SelectGuard &operator=(const SelectGuard &) = delete;
    ~SelectGuard() {
        if (old_ && old_ != HGDI_ERROR)
            ::SelectObject(dc_, old_);
    }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// A palette selected into a context (foreground) and realised; the previous
// one is put back at scope end, and with realiseOnRestore selected as
// background and realised again. A null palette does nothing.
class PaletteGuard {
  public:
    PaletteGuard(HDC dc, HPALETTE palette, bool realiseOnRestore = false) noexcept
        : dc_(dc), realiseOnRestore_(realiseOnRestore) {
        if (dc && palette) {
            old_ = ::SelectPalette(dc, palette, FALSE);
            ::RealizePalette(dc);
        }
    }
    PaletteGuard(const PaletteGuard &) = delete;
    PaletteGuard &operator=(const PaletteGuard &) = delete;
    ~PaletteGuard() {
        if (!old_)
            return;
        ::SelectPalette(dc_, old_, realiseOnRestore_ ? TRUE : FALSE);
        if (realiseOnRestore_)
            ::RealizePalette(dc_);
    }

  private:
    HDC dc_;
    bool realiseOnRestore_;
    HPALETTE old_ = nullptr;
};

// GlobalLock/GlobalUnlock.
class GlobalLockGuard {
  public:
    explicit GlobalLockGuard(HGLOBAL h) noexcept : h_(h), p_(::GlobalLock(h)) {}
    GlobalLockGuard(const GlobalLockGuard &) = delete;
    GlobalLockGuard &operator=(const GlobalLockGuard &) = delete;
    ~GlobalLockGuard() {
        if (p_)
            ::GlobalUnlock(h_);
    }
    void *get() const noexcept { return p_; }

  private:
    HGLOBAL h_;
    void *p_;
};

// The clipboard, open for this scope; open() is false when another program
// holds it.
class ClipboardScope {
  public:
    explicit ClipboardScope(HWND owner) noexcept : open_(::OpenClipboard(owner) != FALSE) {}
    ClipboardScope(const ClipboardScope &) = delete;
    ClipboardScope &operator=(const ClipboardScope &) = delete;
    ~ClipboardScope() {
        if (open_)
            ::CloseClipboard();
    }
    bool open() const noexcept { return open_; }

  private:
    bool open_;
};

// SetStretchBltMode, with the previous mode put back at scope end.
class StretchModeGuard {
  public:
    StretchModeGuard(HDC dc, int mode) noexcept : dc_(dc), old_(::SetStretchBltMode(dc, mode)) {}
    StretchModeGuard(const StretchModeGuard &) = delete;
    StretchModeGuard &operator=(const StretchModeGuard &) = delete;
    ~StretchModeGuard() {
        if (old_)
            ::SetStretchBltMode(dc_, old_);
    }

  private:
    HDC dc_;
    int old_;
};

// SetBrushOrgEx, with the previous origin put back at scope end. A context
// set to HALFTONE wants its brush origin set afterwards.
class BrushOriginGuard {
  public:
    BrushOriginGuard(HDC dc, int x, int y) noexcept
        : dc_(dc), set_(::SetBrushOrgEx(dc, x, y, &old_) != FALSE) {}
    BrushOriginGuard(const BrushOriginGuard &) = delete;
    BrushOriginGuard &operator=(const BrushOriginGuard &) = delete;
    ~BrushOriginGuard() {
        if (set_)
            ::SetBrushOrgEx(dc_, old_.x, old_.y, nullptr);
    }

  private:
    HDC dc_;
    POINT old_{};
    bool set_;
};

// SetCursor, with the previous cursor put back at scope end.
class CursorGuard {
  public:
    explicit CursorGuard(HCURSOR cursor) noexcept : previous_(::SetCursor(cursor)) {}
    CursorGuard(const CursorGuard &) = delete;
    CursorGuard &operator=(const CursorGuard &) = delete;
    ~CursorGuard() { ::SetCursor(previous_); }

  private:
    HCURSOR previous_;
};

// Runs an undo step at scope end, on every way out: for the one-off flags and
// counters that have no guard of their own. The step runs inside a
// destructor, maybe while an exception unwinds, so it may not throw.
//   ScopeExit unmark([&]() noexcept { busy = false; });
template <class Undo> class ScopeExit {
    static_assert(std::is_nothrow_invocable_v<Undo &>, "an undo step must be noexcept");

  public:
    explicit ScopeExit(Undo undo) noexcept : undo_(std::move(undo)) {}
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;
    ~ScopeExit() { undo_(); }

  private:
    Undo undo_;
};

} // namespace vistoro
