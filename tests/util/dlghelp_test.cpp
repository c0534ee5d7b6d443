// CTL and VALID: finding controls, and the close check with its
// re-entrancy marker and both intents.
#include <gtest/gtest.h>

#include <functional>

#include "util/dlghelp.h"
#include "util/popmsg.h"

using namespace vistoro;

namespace {
std::vector<std::string> g_boxes;
int g_answer = IDNO;
int fakeBox(HWND, const std::string &text, const std::string &, unsigned) {
    g_boxes.push_back(text);
    return g_answer;
}
struct FakeBoxes {
    FakeBoxes() {
        g_boxes.clear();
        setMessageBoxCall(&fakeBox);
    }
    ~FakeBoxes() { setMessageBoxCall(nullptr); }
};
} // namespace

TEST(Ctl, ByPositionAndByName) {
    TDialog d;
    TListBox &lb = TListBox::New({.nRow = -3, .nCol = -3});
    TButton &bt = TButton::New({.cCaption = "Ok", .cVarName = "oOk"});
    EXPECT_EQ(CTL(d, 1), &lb);
    EXPECT_EQ(CTL(d, 2), &bt);
    EXPECT_EQ(CTL(d, 3), nullptr);
    EXPECT_EQ(CTL(d, 0), nullptr);
    EXPECT_EQ(CTL(d, "oOk"), &bt);
    EXPECT_EQ(CTL(d, "oNone"), nullptr);

    TDialog single;
    TListBox::New({});
    EXPECT_NE(CTL(single, 1), nullptr);
    EXPECT_EQ(CTL(single, 2), nullptr);
}

TEST(Valid, CancelPathAllowsAndNestedCallIsRefused) {
    FakeBoxes boxes;
    TDialog d;
    EXPECT_TRUE(VALID(d, false));

    // A check that runs further close checks while it is itself running.
    TDialog other;
    TListBox &lb = TListBox::New({});
    std::optional<bool> nested;
    lb.Cargo = std::function<bool(TControl &)>([&](TControl &) {
        nested = VALID(d, false);
        return true;
    });
    other.Cargo = 1;
    EXPECT_TRUE(VALID(other, false));
    ASSERT_TRUE(nested.has_value());
    EXPECT_FALSE(*nested);
    EXPECT_FALSE(other.Cargo.has_value()); // cleared on the confirm path
    EXPECT_TRUE(VALID(d, false));          // the marker went with the call
    EXPECT_TRUE(g_boxes.empty());
}

TEST(Valid, AskingWithChangesTakesTheAnswer) {
    FakeBoxes boxes;
    TDialog d;
    d.lModify = true;
    g_answer = IDNO;
    EXPECT_FALSE(VALID(d, true));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "Annullo le modifiche?");
    g_answer = IDYES;
    EXPECT_TRUE(VALID(d, true));
    d.Cargo = 2; // 2 is a cancel as well
    d.lModify = false;
    EXPECT_TRUE(VALID(d, true));
    EXPECT_EQ(g_boxes.size(), 2u);
}

TEST(Valid, ConfirmPathChecksFieldsSkippingTextsAndDisabledOnes) {
    FakeBoxes boxes;
    g_answer = IDOK;
    TDialog d;
    auto failing = std::function<bool(TControl &)>([](TControl &) { return false; });
    TSay &say = TSay::Redefine({.nId = 102, .bText = [] { return std::string("x"); }});
    say.Cargo = failing; // texts are never checked
    TButton &off = TButton::Redefine({.nId = 201, .bWhen = [] { return false; }});
    off.Cargo = failing; // skipped: its condition is false
    d.Cargo = 1;
    EXPECT_TRUE(VALID(d, false));
    EXPECT_TRUE(g_boxes.empty());

    TListBox &lb = TListBox::New({});
    lb.Cargo = failing;
    const auto before = lb.nClrPane;
    d.Cargo = 1;
    EXPECT_FALSE(VALID(d, false));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "Campo non valido.");
    EXPECT_EQ(lb.nClrPane, before); // the red background was taken off again
}
