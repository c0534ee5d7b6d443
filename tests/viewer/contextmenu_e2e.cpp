// The viewing window's right-click menu driven from outside the process:
// the two information lines, navigation, Open, About and Close.
#include "harness/harness.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace harness;
using testsupport::ScratchDir;
using viewertest::Pixels;

namespace {

const std::string kExe = testsupport::hostPath(VISTORO_EXE);

using testsupport::lower;
std::string caption(const std::string &file) { return "ZELM Vistoro - " + lower(file); }

// The window is the picture + 7 wide and high.
bool sizedFor(HWND w, int picW, int picH) {
    return waitUntil([&] {
        RECT r = windowRect(w);
        return r.right - r.left == picW + 7 && r.bottom - r.top == picH + 7;
    }, Millis{5000});
}

bool showsPixels(HWND w, const Pixels &want) {
    std::vector<DWORD> got;
    long wrong = -1;
    waitUntil([&] {
        const RECT c = clientRectOnScreen(w);
        got = screenPixels({c.left, c.top, c.left + want.width, c.top + want.height});
        wrong = got.size() == want.px.size() ? 0 : -1;
        for (std::size_t i = 0; wrong == 0 && i < got.size(); ++i)
            if (got[i] != (want.px[i] & 0xFFFFFF))
                wrong = static_cast<long>(i) + 1;
        return wrong == 0;
    }, Millis{5000});
    if (wrong > 0)
        ADD_FAILURE() << "pixel " << (wrong - 1) % want.width << "," << (wrong - 1) / want.width
                      << " is " << std::hex << got[static_cast<std::size_t>(wrong - 1)]
                      << ", expected " << (want.px[static_cast<std::size_t>(wrong - 1)] & 0xFFFFFF);
    return wrong == 0;
}

// Right click in the window; then the keys that choose an entry. Down
// from no selection reaches the first entry, Up the last; separators are
// passed over.
void chooseFromMenu(Process &p, HWND w, const std::vector<WORD> &keys) {
    HWND menu = openContextMenu(p.pid(), w, 30, 20);
    ASSERT_TRUE(menu) << "no menu on the right click";
    for (WORD k : keys)
        postKey(menu, k);
    EXPECT_TRUE(waitUntil([&] { return windowsOf(p.pid(), "#32768").empty(); }, Millis{5000}))
        << "the menu did not close";
}
// Selectable entries counted from the top: path 1, size 2, Open 3,
// Forward 4, Backward 5; from the bottom: About 1, Close 2.
std::vector<WORD> downTo(int n) {
    std::vector<WORD> keys(static_cast<std::size_t>(n), VK_DOWN);
    keys.push_back(VK_RETURN);
    return keys;
}
void chooseEntry(Process &p, HWND w, int fromTop) { chooseFromMenu(p, w, downTo(fromTop)); }

// A dialog of the program other than the viewing window, found by a control.
HWND dialogWith(Process &p, int controlId) {
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND d : windowsOf(p.pid(), "#32770"))
            if (hasControl(d, controlId))
                return (found = d) != nullptr;
        return false;
    }, Millis{5000});
    return found;
}
std::string itemText(HWND dlg, int id) { return title(GetDlgItem(dlg, id)); }

class MenuE2E : public ::testing::Test {
  protected:
    std::string picture(const std::string &path, long w, long h, int seed) {
        EXPECT_TRUE(viewertest::writePicture(path, viewertest::sampleScene(w, h, seed), L"image/png"));
        return path;
    }
    HWND viewer(Process &p, const std::string &file) {
        HWND w = waitWindow(p.pid(), "#32770", caption(file));
        if (w) {
            EXPECT_TRUE(waitPainted(w));
        }
        return w;
    }
    vistoro::GdiplusSession session;
    ScratchDir dir{"menu"};
};

} // namespace

TEST_F(MenuE2E, InformationLinesDoNothingAndForwardStepsLikeTheKey) {
    const std::string a = picture(dir.file("A.png"), 640, 480, 1);
    const std::string b = picture(dir.file("b.png"), 200, 150, 2);
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);

    for (int entry : {1, 2}) {
        chooseEntry(p, w, entry);
        ASSERT_TRUE(settle(w));
        EXPECT_EQ(title(w), caption(a)) << "entry " << entry;
        EXPECT_TRUE(sizedFor(w, 640, 480)) << "entry " << entry;
        EXPECT_EQ(windowsOf(p.pid(), "#32770").size(), 1u) << "entry " << entry << " opened a window";
    }

    chooseEntry(p, w, 4); // Forward
    ASSERT_TRUE(waitUntil([&] { return title(w) == caption(b); }, Millis{10000}));
    EXPECT_TRUE(sizedFor(w, 200, 150));
    EXPECT_TRUE(showsPixels(w, viewertest::sampleScene(200, 150, 2)));

    // On the last picture Forward does nothing, as the Down key does.
    chooseEntry(p, w, 4);
    ASSERT_TRUE(settle(w));
    EXPECT_EQ(title(w), caption(b));
    EXPECT_TRUE(sizedFor(w, 200, 150));

    chooseEntry(p, w, 5); // Backward
    EXPECT_TRUE(waitUntil([&] { return title(w) == caption(a); }, Millis{10000}));
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST_F(MenuE2E, OpenShowsAPictureOfAnotherFolderAndDownContinuesThere) {
    ScratchDir other{"menu-other"};
    const std::string a = picture(dir.file("a.png"), 320, 240, 1);
    picture(dir.file("z.png"), 100, 100, 9);
    const std::string b1 = picture(other.file("B1.png"), 200, 100, 3);
    const std::string b2 = picture(other.file("b2.png"), 150, 120, 4);
    testsupport::writeFile(dir.file("notes.txt"), "not a picture");
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);

    // Turned first: the picture read back from its file after a failed
    // Open has lost the turn, and the window follows the size it has.
    typeKey(w, VK_LEFT);
    ASSERT_TRUE(sizedFor(w, 240, 320));

    // An unsupported file is reported and the picture stays.
    chooseEntry(p, w, 3);
    HWND open = waitWindow(p.pid(), "#32770", "Open an image file");
    ASSERT_TRUE(open);
    openDialogChoose(open, dir.file("notes.txt"));
    HWND box = waitWindow(p.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice for the unsupported file";
    EXPECT_EQ(messageBoxText(box), "TXT format not supported.");
    pressButton(box, IDOK);
    EXPECT_TRUE(showsPixels(w, viewertest::sampleScene(320, 240, 1)));
    EXPECT_TRUE(sizedFor(w, 320, 240));
    EXPECT_EQ(title(w), caption(a));

    // A picture of another folder: shown at its size, the caption unchanged.
    chooseEntry(p, w, 3);
    open = waitWindow(p.pid(), "#32770", "Open an image file");
    ASSERT_TRUE(open);
    openDialogChoose(open, b1);
    EXPECT_TRUE(sizedFor(w, 200, 100));
    EXPECT_TRUE(showsPixels(w, viewertest::sampleScene(200, 100, 3)));
    EXPECT_EQ(title(w), caption(a));

    // Down steps in the new folder.
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(waitUntil([&] { return title(w) == caption(b2); }, Millis{10000}));
    EXPECT_TRUE(sizedFor(w, 150, 120));
    EXPECT_TRUE(showsPixels(w, viewertest::sampleScene(150, 120, 4)));
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST_F(MenuE2E, AboutClosesWithItsButtonAndEscAndCloseEndsTheProgram) {
    const std::string a = picture(dir.file("a.png"), 320, 240, 1);
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);

    chooseFromMenu(p, w, {VK_UP, VK_RETURN});
    HWND about = dialogWith(p, 201);
    ASSERT_TRUE(about) << "no About box";
    // Centred on the screen by the toolkit, at its widened size.
    const RECT desk = windowRect(GetDesktopWindow()), box = windowRect(about);
    const int boxW = box.right - box.left, boxH = box.bottom - box.top;
    EXPECT_EQ(box.left, (desk.right - desk.left) / 2 - boxW / 2) << boxW << "x" << boxH;
    EXPECT_EQ(box.top, (desk.bottom - desk.top) / 2 - boxH / 2) << boxW << "x" << boxH;
    EXPECT_EQ(itemText(about, 102), "ZELM Vistoro");
    EXPECT_EQ(itemText(about, 103), "Version: 2.22");
    EXPECT_NE(itemText(about, 104).find("2022"), std::string::npos) << itemText(about, 104);
    pressButton(about, 201);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(about); }, Millis{5000}));
    EXPECT_TRUE(IsWindowVisible(w));

    chooseFromMenu(p, w, {VK_UP, VK_RETURN});
    about = dialogWith(p, 201);
    ASSERT_TRUE(about);
    typeKey(about, VK_ESCAPE);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(about); }, Millis{5000}));
    EXPECT_TRUE(p.running());

    chooseFromMenu(p, w, {VK_UP, VK_UP, VK_RETURN});
    EXPECT_EQ(p.waitExit(Millis{10000}), 0u);
}
