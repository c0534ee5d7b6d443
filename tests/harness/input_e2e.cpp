// The harness's drops, wheel and clipboard, tried on windows of the test's
// own and on the clipboard of another process.
#include "harness/harness.h"
#include "support/test_support.h"

#include "base/text.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <future>
#include <mutex>
#include <thread>

namespace {

using harness::waitUntil;

struct Drop {
    std::vector<std::string> paths;
    POINT at; // client coordinates
};

struct Turn {
    int delta;
    POINT at; // screen coordinates
    HWND foreground;
};

// A borderless top-level window on a thread of its own, which takes its
// messages while the test thread waits inside the harness (a drop is
// answered by the window's thread); it records the drops and wheel turns
// that reach it.
class Target {
  public:
    Target(const RECT &r, DWORD exStyle) {
        std::promise<HWND> made;
        auto madeWnd = made.get_future();
        thread_ = std::thread([this, r, exStyle, &made] {
            static const ATOM cls = [] {
                WNDCLASSW wc{};
                wc.lpfnWndProc = proc;
                wc.hInstance = GetModuleHandleW(nullptr);
                wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
                wc.lpszClassName = L"HarnessInputTarget";
                return RegisterClassW(&wc);
            }();
            HWND wnd = CreateWindowExW(exStyle, MAKEINTATOM(cls), L"", WS_POPUP | WS_VISIBLE,
                                       r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), this);
            made.set_value(wnd);
            MSG msg;
            while (wnd && GetMessageW(&msg, nullptr, 0, 0) > 0)
                DispatchMessageW(&msg);
        });
        wnd_ = madeWnd.get();
    }

    ~Target() {
        if (wnd_)
            PostMessageW(wnd_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    HWND wnd() const { return wnd_; }
    std::vector<Drop> drops() const {
        std::lock_guard<std::mutex> hold(lock_);
        return drops_;
    }
    std::vector<Turn> turns() const {
        std::lock_guard<std::mutex> hold(lock_);
        return turns_;
    }

  private:
    static LRESULT CALLBACK proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrW(
                wnd, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(lp)->lpCreateParams));
        auto *self = reinterpret_cast<Target *>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
        switch (msg) {
        case WM_DROPFILES: {
            const auto drop = reinterpret_cast<HDROP>(wp);
            Drop d{};
            DragQueryPoint(drop, &d.at);
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
                name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
                d.paths.push_back(vistoro::narrowUtf8(name));
            }
            DragFinish(drop);
            std::lock_guard<std::mutex> hold(self->lock_);
            self->drops_.push_back(d);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            std::lock_guard<std::mutex> hold(self->lock_);
            self->turns_.push_back(
                Turn{GET_WHEEL_DELTA_WPARAM(wp),
                     POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))},
                     GetForegroundWindow()});
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(wnd, msg, wp, lp);
        }
    }

    mutable std::mutex lock_;
    std::vector<Drop> drops_;
    std::vector<Turn> turns_;
    HWND wnd_ = nullptr;
    std::thread thread_;
};

const RECT kLeft{200, 200, 600, 500}, kRight{800, 200, 1200, 500};

TEST(HarnessInput, DroppedFilesReachAWindowThatAcceptsFilesOnly) {
    if (!harness::canDropFiles())
        GTEST_SKIP() << "no drops here: they need Wine and the host tool xdnd-drop, built "
                        "where a host C compiler and the X11 headers are found";
    testsupport::ScratchDir dir("drop");
    // Names that the tool must quote for the shell and escape in the URI.
    const std::vector<std::string> files{dir.file("two words.png"),
                                         dir.file("\xC3\xBC 100%#'s.png")};
    for (const auto &f : files)
        testsupport::writeFile(f, "x");
    Target taker(kLeft, WS_EX_ACCEPTFILES), refuser(kRight, 0);
    ASSERT_TRUE(taker.wnd() && refuser.wnd());
    ASSERT_TRUE(harness::settle(taker.wnd()) && harness::settle(refuser.wnd()));

    EXPECT_TRUE(harness::dropFiles(kLeft.left + 100, kLeft.top + 60, files));
    ASSERT_TRUE(waitUntil([&] { return !taker.drops().empty(); }));
    const Drop drop = taker.drops().front();
    EXPECT_EQ(drop.paths, files);
    EXPECT_EQ(drop.at.x, 100);
    EXPECT_EQ(drop.at.y, 60);

    EXPECT_FALSE(harness::dropFiles(kRight.left + 100, kRight.top + 60, files));
    ASSERT_TRUE(harness::settle(refuser.wnd()));
    EXPECT_TRUE(refuser.drops().empty());
    EXPECT_EQ(taker.drops().size(), 1u);

    // The refusal was the window's own answer: once it accepts files, the
    // same drop at the same point reaches it.
    DragAcceptFiles(refuser.wnd(), TRUE);
    EXPECT_TRUE(harness::dropFiles(kRight.left + 100, kRight.top + 60, files));
    ASSERT_TRUE(waitUntil([&] { return !refuser.drops().empty(); }));
    EXPECT_EQ(refuser.drops().front().paths, files);
}

// Under Wine a turn goes to the window under the pointer, not to the focus
// window, which stays in the foreground meanwhile.
TEST(HarnessInput, WheelTurnsReachTheWindowUnderThePointerWithTheirDelta) {
    Target front(kLeft, 0), other(kRight, 0);
    ASSERT_TRUE(front.wnd() && other.wnd());
    ASSERT_TRUE(harness::settle(front.wnd()) && harness::settle(other.wnd()));
    harness::bringToFront(front.wnd());

    harness::wheel(kRight.left + 50, kRight.top + 40, -120);
    harness::wheel(kLeft.left + 70, kLeft.top + 30, 60);
    ASSERT_TRUE(waitUntil([&] { return !other.turns().empty() && !front.turns().empty(); }))
        << "turns over the other window: " << other.turns().size()
        << ", over the front one: " << front.turns().size();
    ASSERT_TRUE(harness::settle(front.wnd()) && harness::settle(other.wnd()));
    ASSERT_EQ(other.turns().size(), 1u);
    ASSERT_EQ(front.turns().size(), 1u);
    const Turn away = other.turns().front(), here = front.turns().front();
    EXPECT_EQ(away.delta, -120);
    EXPECT_EQ(away.at.x, kRight.left + 50);
    EXPECT_EQ(away.at.y, kRight.top + 40);
    EXPECT_EQ(away.foreground, front.wnd());
    EXPECT_EQ(here.delta, 60);
    EXPECT_EQ(here.at.x, kLeft.left + 70);
    EXPECT_EQ(here.at.y, kLeft.top + 30);
}

TEST(HarnessInput, ClipboardBytesComeBackAndAHoldKeepsOtherProgramsOut) {
    // A 2 x 2 picture of 32-bit pixels, bottom row first.
    BITMAPINFOHEADER head{};
    head.biSize = sizeof head;
    head.biWidth = 2;
    head.biHeight = 2;
    head.biPlanes = 1;
    head.biBitCount = 32;
    head.biCompression = BI_RGB;
    head.biSizeImage = 16;
    const DWORD pixels[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456};
    const std::string pixelBytes(reinterpret_cast<const char *>(pixels), sizeof pixels);
    const std::string dib =
        std::string(reinterpret_cast<const char *>(&head), sizeof head) + pixelBytes;
    testsupport::ScratchDir dir("clip");
    const std::string file = dir.file("picture.dib");
    testsupport::writeFile(file, dib);
    const std::string put = testsupport::hostPath(VISTORO_TEST_BIN_DIR "/clipboard_put.exe");
    const std::vector<std::string> args{std::to_string(CF_DIB), file};

    {
        harness::ClipboardHold hold;
        ASSERT_TRUE(hold.held());
        harness::Process copy(put, args);
        EXPECT_EQ(copy.waitExit(), 1u) << "a copy while the clipboard is held must fail";
    }
    harness::Process copy(put, args);
    ASSERT_EQ(copy.waitExit(), 0u);

    EXPECT_TRUE(harness::clipboardHolds(CF_DIB));
    const auto got = harness::clipboardBytes(CF_DIB);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->substr(0, dib.size()), dib);
    EXPECT_FALSE(harness::clipboardHolds(CF_UNICODETEXT));
    EXPECT_FALSE(harness::clipboardBytes(CF_UNICODETEXT));

    // The same picture is offered as CF_DIBV5 too, made by the platform.
    ASSERT_TRUE(harness::clipboardHolds(CF_DIBV5));
    const auto v5 = harness::clipboardBytes(CF_DIBV5);
    ASSERT_TRUE(v5);
    BITMAPV5HEADER v5head{};
    ASSERT_GE(v5->size(), sizeof v5head + pixelBytes.size());
    std::memcpy(&v5head, v5->data(), sizeof v5head);
    EXPECT_EQ(v5head.bV5Size, sizeof v5head);
    EXPECT_EQ(v5head.bV5Width, 2);
    EXPECT_EQ(v5head.bV5Height, 2);
    EXPECT_EQ(v5head.bV5BitCount, 32);
    EXPECT_NE(v5->find(pixelBytes, sizeof v5head), std::string::npos);
}

} // namespace
