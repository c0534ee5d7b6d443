// The viewing window inside this process: keys posted to its focus holder
// by a timer script, with the shared state and the live GDI objects checked
// between the steps.
#include "viewer/keys.h"
#include "viewer/decoder.h"
#include "viewer/viewwin.h"

#include "imaging/decode_probe.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"
#include "util/dlghelp.h"
#include "util/popmsg.h"
#include "base/paths.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace vistoro;
using testsupport::ScratchDir;

namespace {

using Step = std::function<void(TDialog &, ViewerState &)>;

// One run of the window: steps run one per timer tick, never while a key
// command is still in progress.
struct Script {
    std::vector<Step> steps;
    std::size_t next = 0;
    TDialog *dlg = nullptr;
    ViewerState *st = nullptr;
    bool inCommand = false;
    bool failedToFinish = false;
    bool closesItself = false; // a step ends the window
};
Script *current = nullptr;

void postKey(TDialog &dlg, WORD vk) {
    HWND target = CTL(dlg, 1)->hWnd;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16;
    PostMessageA(target, WM_KEYDOWN, vk, 1 | scan);
    PostMessageA(target, WM_KEYUP, vk, 1 | scan | (3u << 30));
}

void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    Script &s = *current;
    if (s.inCommand || !s.dlg || s.dlg->bStart)
        return;
    if (s.next >= s.steps.size()) {
        KillTimer(nullptr, id);
        return;
    }
    s.steps[s.next++](*s.dlg, *s.st);
}

// A step that waits, tick after tick, until the look-ahead has nothing
// under way and the workers are idle.
Step settled() {
    return [](TDialog &, ViewerState &s) {
        if (s.pictures.decodesUnderWay() != 0 || !backgroundDecoder().idle())
            --current->next;
    };
}

void run(ViewerState &st, Script &script, const std::function<void(TDialog &)> &atInit = {}) {
    current = &script;
    script.st = &st;
    // Ends the window whatever happens, so that a failure cannot hang the run.
    script.steps.push_back([](TDialog &d, ViewerState &) { d.End(); });
    UINT_PTR timer = SetTimer(nullptr, 0, 10, tick);
    openViewingWindow(st, [&](TDialog &d) {
        script.dlg = &d;
        // Marks the span of every key command for the script.
        TControl *holder = CTL(d, 1);
        KeyHook inner = holder->bKeyDown;
        holder->bKeyDown = [inner, &script](int k, int f, TWindow &w) {
            script.inCommand = true;
            HookResult r = inner(k, f, w);
            script.inCommand = false;
            return r;
        };
        if (atInit)
            atInit(d);
    });
    KillTimer(nullptr, timer);
    if (!script.closesItself) {
        EXPECT_EQ(script.next, script.steps.size()) << "the window closed before the script ended";
    }
    current = nullptr;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 1; i <= 12; ++i) {
            char name[32];
            snprintf(name, sizeof name, "p%02d.png", i);
            std::string path = dir.file(name);
            if (i == 4) {
                testsupport::writeFile(path, "damaged");
            } else {
                ASSERT_TRUE(viewertest::writePicture(
                    path, viewertest::sampleScene(40 + i * 2, 30 + i, i), L"image/png"));
            }
            files.push_back(lowerText(path));
        }
    }
    std::unique_ptr<ViewerState> open(int index) { return openFile(files[static_cast<std::size_t>(index - 1)]); }
    std::unique_ptr<ViewerState> openFile(const std::string &file) {
        auto st = std::make_unique<ViewerState>();
        st->cFile = file;
        st->cDir = folderOf(file);
        const std::optional<FileStamp> stamp = fileStamp(st->cFile);
        st->hBmp.reset(LOADIMAGE(st->cFile));
        st->pictures.nowShowing(st->cFile, stamp, st->hBmp.get());
        st->aSize = AIMGSIZE(st->hBmp.get());
        return st;
    }
    GdiplusSession session;
    ScratchDir dir{"win"};
    std::vector<std::string> files;
};

} // namespace

TEST_F(WindowTest, KeysBeforeTheFirstPaintAreDropped) {
    auto st = open(2);
    Script script;
    std::string titleAfter;
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        // The Down posted during creation was seen before the first paint.
        EXPECT_EQ(s.cFile, files[1]);
        EXPECT_FALSE(s.aFiles.has_value()) << "the key reached the dispatcher";
        postKey(d, VK_DOWN);
    });
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        EXPECT_EQ(s.cFile, files[2]);
        EXPECT_EQ(s.nIdx, 3);
        titleAfter = d.cTitle();
    });
    run(*st, script, [](TDialog &d) { postKey(d, VK_DOWN); });
    EXPECT_EQ(titleAfter, "ZELM Vistoro - " + files[2]);
}

TEST_F(WindowTest, AKeyArrivingWhileACommandRunsIsRefused) {
    auto st = open(1);
    Script script;
    script.steps.push_back([](TDialog &d, ViewerState &) {
        postKey(d, VK_DOWN);
        postKey(d, VK_DOWN); // dispatched inside the first command's drain
    });
    script.steps.push_back([&](TDialog &, ViewerState &s) { EXPECT_EQ(s.nIdx, 2); });
    run(*st, script);
}

TEST_F(WindowTest, DamagedNeighbourIsSkippedAndRotationKeepsOneBitmap) {
    auto st = open(3);
    Script script;
    HBITMAP before = nullptr;
    script.steps.push_back([](TDialog &d, ViewerState &) { postKey(d, VK_DOWN); });
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        EXPECT_EQ(s.nIdx, 5); // 4 is damaged
        EXPECT_EQ(s.cFile, files[4]);
        before = s.hBmp.get();
        postKey(d, VK_LEFT);
    });
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        EXPECT_EQ(s.aSize, (ImageSize{35, 50}));
        EXPECT_EQ(GetObjectType(before), 0u) << "the unturned bitmap is still alive";
        RECT r;
        GetWindowRect(d.hWnd, &r);
        EXPECT_EQ(r.right - r.left, 42);
        EXPECT_EQ(r.bottom - r.top, 57);
        postKey(d, VK_UP);
    });
    script.steps.push_back([&](TDialog &, ViewerState &s) {
        EXPECT_EQ(s.nIdx, 3);
        EXPECT_EQ(s.aSize, (ImageSize{46, 33}));
    });
    run(*st, script);
}

TEST_F(WindowTest, FiveHundredStepsLeaveTheGdiObjectCountWhereItWas) {
    auto st = open(1);
    Script script;
    const WORD cycle[] = {VK_DOWN, VK_LEFT, VK_DOWN, VK_RIGHT, VK_NEXT, VK_UP, VK_LEFT,
                          VK_END,  VK_PRIOR, 'S', VK_HOME, VK_RIGHT, VK_DOWN, VK_UP, VK_LEFT};
    int baseline = 0, finalCount = 0;
    // One warm-up round, so that caches the platform fills once are counted
    // in the baseline; then 500 steps.
    for (WORD k : cycle)
        script.steps.push_back([k](TDialog &d, ViewerState &) { postKey(d, k); });
    script.steps.push_back(settled());
    // The pictures held around the shown one depend on where the steps
    // stand (the random pick among them), so they are not counted.
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        baseline = testsupport::countMadeGdiObjects() - s.pictures.heldPictures();
        postKey(d, cycle[0]);
    });
    for (int i = 1; i < 500; ++i)
        script.steps.push_back(
            [&, i](TDialog &d, ViewerState &) { postKey(d, cycle[i % std::size(cycle)]); });
    script.steps.push_back(settled());
    script.steps.push_back([&](TDialog &, ViewerState &s) {
        // One current bitmap at both moments.
        finalCount = testsupport::countMadeGdiObjects() - s.pictures.heldPictures();
        EXPECT_NE(s.hBmp.get(), nullptr);
    });
    run(*st, script);
    EXPECT_GT(baseline, 0);
    EXPECT_LE(finalCount, baseline) << "GDI objects grew over 500 steps";
    EXPECT_GE(finalCount, baseline - 2);
}

TEST_F(WindowTest, StepsOntoPicturesDecodedAheadDecodeNothingAndAChangedFileIsReadAgain) {
    auto st = open(1);
    Script script;
    unsigned long decodes = 0, decodesHere = 0;
    // Each check comes once the look-ahead that the step started is done:
    // the decodes counted are the look-ahead's and none of the step's own,
    // and the window's thread made none.
    auto after = [&](int index, unsigned long lookedAhead, const char *what) {
        script.steps.push_back(settled());
        script.steps.push_back([&, index, lookedAhead, what](TDialog &, ViewerState &s) {
            EXPECT_EQ(s.cFile, files[static_cast<std::size_t>(index - 1)]) << what;
            EXPECT_EQ(s.aSize, (ImageSize{40 + index * 2, 30 + index})) << what;
            EXPECT_EQ(decodesBegun(), decodes + lookedAhead) << what;
            EXPECT_EQ(decodesBegunOnThisThread(), decodesHere) << what;
        });
    };
    auto press = [&](WORD key) {
        script.steps.push_back([&, key](TDialog &d, ViewerState &) {
            decodes = decodesBegun();
            decodesHere = decodesBegunOnThisThread();
            postKey(d, key);
        });
    };
    // Shown, then the next picture decoded ahead.
    script.steps.push_back(settled());
    script.steps.push_back([](TDialog &, ViewerState &s) {
        EXPECT_EQ(s.pictures.heldPictures(), 1) << "nothing was decoded ahead";
    });
    press(VK_DOWN);
    after(2, 1, "Down onto the picture decoded ahead; the third one decoded ahead");
    press(VK_UP);
    after(1, 0, "Up onto the picture just left; nothing lies before it");
    press(VK_DOWN);
    after(2, 1, "Down onto the picture just left; the third decoded ahead again");
    // The third picture, decoded ahead, is written anew: Down shows the new one.
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        EXPECT_EQ(s.pictures.heldPictures(), 2);
        ASSERT_TRUE(viewertest::writePicture(files[2], viewertest::sampleScene(71, 52, 9), L"image/png"));
        decodes = decodesBegun();
        postKey(d, VK_DOWN);
    });
    script.steps.push_back(settled());
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        EXPECT_EQ(s.cFile, files[2]);
        EXPECT_EQ(s.aSize, (ImageSize{71, 52})) << "the picture decoded ahead was shown";
        // The new third picture, then ahead the damaged fourth and the fifth.
        EXPECT_EQ(decodesBegun(), decodes + 3);
        RECT r;
        GetWindowRect(d.hWnd, &r);
        EXPECT_EQ(r.right - r.left, 78);
    });
    run(*st, script);
}

// A copy that keeps the source's write time, or a card whose clock counts
// in 2 s, gives a file its old size and write time with new pixels: what
// was decoded ahead is not shown for it.
TEST_F(WindowTest, AFileRewrittenWithItsOldSizeAndWriteTimeIsReadAgain) {
    ScratchDir own{"same"};
    std::vector<std::string> bmps;
    for (int i = 0; i < 3; ++i) {
        bmps.push_back(lowerText(own.file("b" + std::to_string(i) + ".bmp")));
        ASSERT_TRUE(viewertest::writePicture(bmps.back(), viewertest::sampleScene(50, 40, i),
                                             L"image/bmp"));
    }
    const viewertest::Pixels fresh = viewertest::sampleScene(50, 40, 77);
    auto st = openFile(bmps[0]);
    Script script;
    script.steps.push_back(settled());
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        EXPECT_EQ(s.pictures.heldPictures(), 1) << "the second picture was not decoded ahead";
        WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
        GetFileAttributesExA(bmps[1].c_str(), GetFileExInfoStandard, &before);
        ASSERT_TRUE(viewertest::writePicture(bmps[1], fresh, L"image/bmp"));
        HANDLE f = CreateFileA(bmps[1].c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        SetFileTime(f, nullptr, nullptr, &before.ftLastWriteTime);
        CloseHandle(f);
        GetFileAttributesExA(bmps[1].c_str(), GetFileExInfoStandard, &after);
        ASSERT_EQ(after.nFileSizeLow, before.nFileSizeLow);
        ASSERT_EQ(CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime), 0);
        postKey(d, VK_DOWN);
    });
    script.steps.push_back([&](TDialog &, ViewerState &s) {
        EXPECT_EQ(s.cFile, bmps[1]);
        const viewertest::Pixels shown = viewertest::readPixels(s.hBmp.get());
        ASSERT_EQ(shown.px.size(), fresh.px.size());
        for (std::size_t i = 0; i < fresh.px.size(); i += 97)
            ASSERT_EQ(shown.px[i] & 0xFFFFFF, fresh.px[i] & 0xFFFFFF)
                << "the old pixels were shown, at " << i;
    });
    run(*st, script);
}

// Esc while a key waits for the picture decoded ahead ends the wait at once
// and starts no decode of its own; the shown picture stays as it was.
TEST_F(WindowTest, EscWhileAKeyWaitsForThePictureDecodedAheadStartsNothing) {
    // Large enough that its decode ahead is still under way when Down comes.
    ASSERT_TRUE(viewertest::writePicture(files[1], viewertest::sampleScene(4000, 3000, 8),
                                         L"image/png"));
    auto st = open(1);
    HBITMAP shown = st->hBmp.get();
    BackgroundDecoder::Ticket before = 0;
    Script script;
    script.closesItself = true;
    script.steps.push_back([&](TDialog &d, ViewerState &s) {
        EXPECT_EQ(s.pictures.decodesUnderWay(), 1) << "the second picture was not being decoded";
        before = backgroundDecoder().lastTicket();
        postKey(d, VK_DOWN);
        postKey(d, VK_ESCAPE); // taken inside the Down's wait
    });
    run(*st, script);
    EXPECT_EQ(backgroundDecoder().lastTicket(), before) << "a decode was started after Esc";
    EXPECT_EQ(st->cFile, files[0]);
    EXPECT_EQ(st->hBmp.get(), shown);
    EXPECT_TRUE(st->pictures.abandoned());
}
