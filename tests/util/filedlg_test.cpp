#include "util/filedlg.h"

#include <gtest/gtest.h>

using namespace vistoro;

TEST(FileDialog, FilterPairsBecomeNulSeparatedAndAreCut) {
    const std::wstring f = fileDialogFilter("Image files|*.bmp;*.png");
    EXPECT_EQ(f, std::wstring(L"Image files\0*.bmp;*.png\0\0", 25));

    // 399 characters are used; a multi-byte character at the edge stays whole.
    std::string longFilter(398, 'a');
    longFilter += "\xC5\x8D\xC5\x8D"; // two more characters
    const std::wstring cut = fileDialogFilter(longFilter);
    ASSERT_EQ(cut.size(), 399u + 2);
    EXPECT_EQ(cut[398], L'\u014D');
}

TEST(FileDialog, NoArgumentShowsNothing) { EXPECT_EQ(CGETFILE(), ""); }
