// The dispatcher's position arithmetic, over an injected loader, and the
// zoom size.
#include "viewer/keys.h"
#include "viewer/zoom.h"

#include "base/error.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace vistoro;

namespace {

// Entries named "N" or "N!" (damaged); loads hand out fake non-zero handles
// and record what was tried.
struct FakeFolder {
    ImageList list;
    std::vector<int> tried;
    explicit FakeFolder(int n, std::set<int> damaged = {}) {
        for (int i = 1; i <= n; ++i)
            list.push_back(std::to_string(i) + (damaged.count(i) ? "!" : ""));
    }
    EntryLoader loader() {
        return [this](const std::string &name) -> HBITMAP {
            tried.push_back(std::stoi(name));
            // A real bitmap: the result owns what the loader gives.
            return name.back() == '!' ? nullptr : ::CreateBitmap(1, 1, 1, 1, nullptr);
        };
    }
};

RandomPick fixedPick(std::vector<int> answers) {
    auto at = std::make_shared<std::size_t>(0);
    return [answers, at](int lo, int hi) {
        int v = answers[(*at)++ % answers.size()];
        EXPECT_GE(v, lo);
        EXPECT_LE(v, hi);
        return v;
    };
}

SeekResult seek(FakeFolder &f, ViewerCommand c, int from, RandomPick pick = fixedPick({1})) {
    return seekEntry(c, f.list, from, f.loader(), pick);
}

} // namespace

// The shortcut column of the menu against the keys: an entry that shows a
// key's name must be the command that key runs, and a key's name must be
// the one the menu has always shown for it.
TEST(CommandTable, EveryShortcutShownIsTheKeyOfTheSameCommand) {
    const std::map<int, std::string> names = {
        {VK_DOWN, "DOWN"},   {VK_UP, "UP"},     {VK_NEXT, "PAGE DOWN"}, {VK_PRIOR, "PAGE UP"},
        {VK_HOME, "HOME"},   {VK_END, "END"},   {VK_SPACE, "SPACE"},    {VK_LEFT, "LEFT"},
        {VK_RIGHT, "RIGHT"}, {VK_ESCAPE, "ESC"}};
    std::set<int> shown;
    for (const CommandEntry &c : commandTable()) {
        const std::string text = c.cMenuText ? c.cMenuText : "";
        const auto tab = text.find('\t');
        if (c.nKey == 0) {
            EXPECT_EQ(tab, std::string::npos) << text << " shows a key it does not have";
            continue;
        }
        EXPECT_EQ(commandForKey(c.nKey, c.lCtrl), c.command)
            << "key " << c.nKey << " runs another command";
        if (!c.cMenuText)
            continue; // S has no entry
        ASSERT_NE(tab, std::string::npos) << text << " shows no key";
        ASSERT_TRUE(names.count(c.nKey)) << text << ": key " << c.nKey << " has no name";
        EXPECT_EQ(text.substr(tab + 1), names.at(c.nKey)) << text;
        shown.insert(c.nKey);
    }
    EXPECT_EQ(shown.size(), names.size()) << "a shortcut went missing from the menu";
    EXPECT_EQ(commandForKey('S'), ViewerCommand::Random);
    EXPECT_EQ(commandForKey(VK_TAB), ViewerCommand::None);
    // C copies only with Ctrl; Ctrl leaves every other key as it was.
    EXPECT_EQ(commandForKey('C', true), ViewerCommand::Copy);
    EXPECT_EQ(commandForKey('C', false), ViewerCommand::None);
    EXPECT_EQ(commandForKey(VK_DOWN, true), ViewerCommand::Next);
}

TEST(EndTests, ForwardAtTheLastAndBackwardAtTheFirst) {
    for (auto c : {ViewerCommand::Next, ViewerCommand::TenForward, ViewerCommand::Last}) {
        EXPECT_TRUE(atListEnd(c, 3, 3));
        EXPECT_FALSE(atListEnd(c, 1, 3));
    }
    for (auto c : {ViewerCommand::Previous, ViewerCommand::TenBack, ViewerCommand::First}) {
        EXPECT_TRUE(atListEnd(c, 1, 3));
        EXPECT_FALSE(atListEnd(c, 3, 3));
    }
    // An empty list with the position 0: nothing moves forward.
    EXPECT_TRUE(atListEnd(ViewerCommand::Next, 0, 0));
    EXPECT_FALSE(atListEnd(ViewerCommand::RotateLeft, 1, 1));
}

TEST(Seek, StepsAndPagesLandWhereTheyShould) {
    FakeFolder abc(3);
    EXPECT_EQ(seek(abc, ViewerCommand::Next, 2).nIdx, 3);
    EXPECT_EQ(seek(abc, ViewerCommand::First, 3).nIdx, 1);
    EXPECT_EQ(seek(abc, ViewerCommand::Previous, 2).nIdx, 1);

    FakeFolder f25(25), f5(5);
    EXPECT_EQ(seek(f25, ViewerCommand::TenForward, 1).nIdx, 11);
    EXPECT_EQ(seek(f5, ViewerCommand::TenForward, 1).nIdx, 5);
    EXPECT_EQ(seek(f25, ViewerCommand::TenBack, 12).nIdx, 2);
    EXPECT_EQ(seek(f25, ViewerCommand::TenBack, 5).nIdx, 1);
    EXPECT_EQ(seek(f25, ViewerCommand::Last, 3).nIdx, 25);
}

TEST(Seek, DamagedEntriesArePassedOverInTheCommandsDirection) {
    FakeFolder f(25, {4, 11, 12, 1, 25});
    EXPECT_EQ(seek(f, ViewerCommand::Next, 3).nIdx, 5);
    EXPECT_EQ(seek(f, ViewerCommand::TenForward, 2).nIdx, 13); // 12 damaged
    EXPECT_EQ(seek(f, ViewerCommand::First, 9).nIdx, 2);
    EXPECT_EQ(seek(f, ViewerCommand::Last, 9).nIdx, 24);
    f.tried.clear();
    EXPECT_EQ(seek(f, ViewerCommand::TenBack, 14).nIdx, 3); // 4 damaged
    EXPECT_EQ(f.tried, (std::vector<int>{4, 3}));
    // Nothing loads that way: no handle, and the search stopped at the end.
    FakeFolder tail(5, {4, 5});
    SeekResult none = seek(tail, ViewerCommand::Next, 3);
    EXPECT_EQ(none.hBmp.get(), nullptr);
    EXPECT_EQ(tail.tried, (std::vector<int>{4, 5}));
}

TEST(Seek, NeverReadsOutsideTheList) {
    // Page Up over an empty list would reach for entry 1.
    FakeFolder empty(0);
    for (auto c : {ViewerCommand::TenBack, ViewerCommand::Previous, ViewerCommand::First,
                   ViewerCommand::Last, ViewerCommand::TenForward, ViewerCommand::Random}) {
        EXPECT_EQ(seek(empty, c, 0).hBmp.get(), nullptr);
    }
    EXPECT_TRUE(empty.tried.empty());
    // Position 0 (the file is not in its folder's list).
    FakeFolder f(3);
    EXPECT_EQ(seek(f, ViewerCommand::Next, 0).nIdx, 1);
    EXPECT_EQ(seek(f, ViewerCommand::Previous, 0).hBmp.get(), nullptr);
    for (int t : f.tried) {
        EXPECT_GE(t, 1);
        EXPECT_LE(t, 3);
    }
}

TEST(Seek, RandomPickTriesEachEntryOnceAndEndsWhenNoneLoads) {
    FakeFolder f(4, {2});
    // First pick 2 (damaged), then the first of what is left: entry 1.
    SeekResult r = seek(f, ViewerCommand::Random, 3, fixedPick({2, 1}));
    EXPECT_EQ(r.nIdx, 1);
    EXPECT_NE(r.hBmp.get(), nullptr);

    FakeFolder bad(6, {1, 2, 3, 4, 5, 6});
    int picks = 0;
    SeekResult none = seekEntry(ViewerCommand::Random, bad.list, 2, bad.loader(),
                                [&](int lo, int hi) {
                                    ++picks;
                                    return lo + (hi - lo) / 2;
                                });
    EXPECT_EQ(none.hBmp.get(), nullptr);
    EXPECT_EQ(picks, 6);
    EXPECT_EQ(std::set<int>(bad.tried.begin(), bad.tried.end()).size(), 6u);
}

TEST(Caption, EntryAtThePositionElseTheCurrentFile) {
    ImageList list{"c:\\p\\a.png", "c:\\p\\b.png  "};
    EXPECT_EQ(captionFor(list, 2, "x"), "ZELM Vistoro - c:\\p\\b.png");
    EXPECT_EQ(captionFor(list, 0, "c:\\q\\gone.png"), "ZELM Vistoro - c:\\q\\gone.png");
    EXPECT_EQ(captionFor({}, 1, "c:\\q\\z.jpg"), "ZELM Vistoro - c:\\q\\z.jpg");
}

TEST(Extension, WholeAndUpperCased) {
    EXPECT_EQ(upperExtension("c:\\x\\photo.Jpeg"), "JPEG");
    EXPECT_EQ(upperExtension("c:\\x.y\\notes.txt"), "TXT");
    EXPECT_EQ(upperExtension("c:\\x.y\\noext"), "");
    EXPECT_EQ(upperExtension("c:\\x\\a.tiff"), "TIFF");
}

namespace {
struct ZeroOnDivide {
    int raised = 0;
    ZeroOnDivide() {
        setErrorHandler([this](const ErrorObject &e) {
            EXPECT_EQ(e.genCode, kGenZeroDiv);
            ++raised;
            return 0;
        });
    }
    ~ZeroOnDivide() { setErrorHandler(nullptr); }
};
} // namespace

TEST(ZoomSize, KeepsProportionsWithinTheDesktop) {
    const Rect desk{0, 0, 1080, 1920};
    auto z = zoomSize({800, 600}, desk);
    EXPECT_EQ(static_cast<int>(z.width), 1440);
    EXPECT_EQ(static_cast<int>(z.height), 1080);
    z = zoomSize({4000, 1000}, desk);
    EXPECT_EQ(static_cast<int>(z.width), 1920);
    EXPECT_EQ(static_cast<int>(z.height), 480);
    z = zoomSize({100, 50}, desk);
    EXPECT_EQ(static_cast<int>(z.width), 1920);
    EXPECT_EQ(static_cast<int>(z.height), 960);
    z = zoomSize({16, 9}, desk);
    EXPECT_EQ(static_cast<int>(z.width), 1920);
    EXPECT_EQ(static_cast<int>(z.height), 1080);
    z = zoomSize({641, 480}, desk); // 1442.25: the fraction is cut off
    EXPECT_EQ(static_cast<int>(z.width), 1442);
}

TEST(ZoomSize, NoPictureDividesThroughTheHandlerToZeroWidth) {
    ZeroOnDivide handler;
    auto z = zoomSize({0, 0}, {0, 0, 1080, 1920});
    EXPECT_EQ(z.width, 0);
    EXPECT_EQ(z.height, 1080);
    EXPECT_EQ(handler.raised, 3);
}
