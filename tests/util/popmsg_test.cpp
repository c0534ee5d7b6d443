#include "util/popmsg.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

using namespace vistoro;

namespace {

struct Shown {
    std::string text, title;
    unsigned flags;
};
std::vector<Shown> g_shown;
int g_answer = IDOK;

int fakeBox(HWND, const std::string &text, const std::string &title, unsigned flags) {
    g_shown.push_back({text, title, flags});
    return g_answer;
}

class PopMsg : public testing::Test {
  protected:
    void SetUp() override {
        g_shown.clear();
        setMessageBoxCall(fakeBox);
    }
    void TearDown() override { setMessageBoxCall(nullptr); }
};

} // namespace

TEST_F(PopMsg, TextIsTrimmedAndSemicolonsBreakLines) {
    EXPECT_EQ(popMsgText("  one;two  "), "one\r\ntwo");
    EXPECT_EQ(popMsgText(""), "");
}

TEST_F(PopMsg, DosAccentsBecomeLettersButUtf8StaysWhole) {
    EXPECT_EQ(popMsgText("perch\x82 cos\x8D"), "perch\xC3\xA9 cos\xC3\xAC");
    EXPECT_EQ(popMsgText("\x85\x8A\x95\x97"), "\xC3\xA0\xC3\xA8\xC3\xB2\xC3\xB9");
    // "Tōkyō" holds 0x8D inside its sequences: it must reach the box unchanged.
    EXPECT_EQ(popMsgText("File not found: T\xC5\x8Dky\xC5\x8D.jpg."),
              "File not found: T\xC5\x8Dky\xC5\x8D.jpg.");
}

TEST_F(PopMsg, TypesGiveTheirFlagsAndResults) {
    struct Case {
        int type;
        unsigned flags;
        int answer;
        std::optional<int> result;
    };
    const Case cases[] = {
        {1, 64, IDOK, std::nullopt}, {2, 33, IDOK, 1},     {2, 33, IDCANCEL, 0},
        {3, 35, IDNO, IDNO},         {3, 35, IDCANCEL, 2}, {4, 36, IDYES, 1},
        {4, 36, IDNO, 0},            {5, 292, IDNO, 0},    {5, 292, IDYES, 1},
        {6, 17, IDOK, 1},            {6, 17, IDCANCEL, 0},
    };
    for (const Case &c : cases) {
        g_shown.clear();
        g_answer = c.answer;
        EXPECT_EQ(POPMSG("x", c.type, "T"), c.result) << "type " << c.type;
        ASSERT_EQ(g_shown.size(), 1u);
        EXPECT_EQ(g_shown[0].flags, c.flags) << "type " << c.type;
    }
}

TEST_F(PopMsg, TitleDefaultsAndUnknownTypesShowNothing) {
    POPMSG({.cMsg = "a", .nType = 1});
    POPMSG({.cMsg = "b", .nType = 1, .cTitle = ""});
    POPMSG("c", 1, "ZELM Vistoro");
    ASSERT_EQ(g_shown.size(), 3u);
    EXPECT_EQ(g_shown[0].title, "Attenzione");
    EXPECT_EQ(g_shown[1].title, "Attenzione");
    EXPECT_EQ(g_shown[2].title, "ZELM Vistoro");

    g_shown.clear();
    EXPECT_EQ(POPMSG("x", 7), std::nullopt);
    EXPECT_EQ(POPMSG("x", 0), std::nullopt);
    EXPECT_TRUE(g_shown.empty());
}
