#include "base/handles.h"

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include "support/test_support.h"

#include <stdexcept>
#include <vector>

using namespace vistoro;

namespace {

// A handle kind whose releases are recorded, so that a test can tell which
// handle was released and how often.
std::vector<int> g_released;
int g_slots[4];
void recordRelease(int *h) noexcept { g_released.push_back(static_cast<int>(h - g_slots)); }
using Counted = UniqueHandle<int *, NullTraits<int *, recordRelease>>;

class Owners : public ::testing::Test {
  protected:
    void SetUp() override { g_released.clear(); }
};

} // namespace

// Each handle is released exactly once, whichever way it leaves its owner.
TEST_F(Owners, ReleaseEachHandleOnceAcrossMovesAndResets) {
    {
        Counted a(&g_slots[0]);
        Counted b(std::move(a));
        EXPECT_FALSE(a);
        b = Counted(&g_slots[1]); // the old handle goes now
        EXPECT_EQ(g_released, std::vector<int>{0});
        Counted &same = b;
        b = std::move(same); // moving onto itself keeps it
        EXPECT_EQ(b.get(), &g_slots[1]);
        int *handedOver = Counted(&g_slots[2]).release();
        EXPECT_EQ(handedOver, &g_slots[2]);
        b.reset(&g_slots[3]);
    }
    EXPECT_EQ(g_released, (std::vector<int>{0, 1, 3}));
}

// fill keeps what a succeeding call wrote, releases what the owner held
// before, and forgets without releasing what a failing call left behind.
TEST_F(Owners, FillKeepsOnlyWhatASucceedingCallWrote) {
    Counted owner(&g_slots[0]);
    EXPECT_TRUE(owner.fill([](int **out) {
        *out = &g_slots[1];
        return true;
    }));
    EXPECT_EQ(owner.get(), &g_slots[1]);
    EXPECT_EQ(g_released, std::vector<int>{0});

    EXPECT_FALSE(owner.fill([](int **out) {
        *out = &g_slots[2]; // garbage from a failed call
        return false;
    }));
    EXPECT_FALSE(owner);
    EXPECT_EQ(g_released, (std::vector<int>{0, 1}));
}

// The real kinds give back what they took, on the normal way out and when an
// exception passes through.
TEST_F(Owners, PlatformObjectsAndStateComeBackOnEveryWayOut) {
    HDC screen = ::GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    UniqueDC dc(::CreateCompatibleDC(screen));
    ::ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dc);
    const int modeBefore = ::GetStretchBltMode(dc.get());
    ASSERT_NE(modeBefore, HALFTONE);
    const int objectsBefore = testsupport::countGdiObjects();
    int undone = 0;
    try {
        UniqueBitmap bitmap(::CreateCompatibleBitmap(dc.get(), 8, 8));
        UniqueBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
        ASSERT_TRUE(bitmap && brush);
        SelectGuard selected(dc.get(), bitmap.get());
        StretchModeGuard mode(dc.get(), HALFTONE);
        ScopeExit undo([&]() noexcept { ++undone; });
        EXPECT_EQ(::GetStretchBltMode(dc.get()), HALFTONE);
        EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
        throw std::runtime_error("abandoned");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(undone, 1);
    EXPECT_EQ(::GetStretchBltMode(dc.get()), modeBefore);
    EXPECT_EQ(testsupport::countGdiObjects(), objectsBefore);
}

// Every leak check counts GDI objects; a count that sees no new object would
// let every leak pass, so the count checks itself each time.
TEST(GdiObjectCount, SeesANewObjectOrFailsTheTest) {
    EXPECT_GT(testsupport::countGdiObjects(), 0);
    EXPECT_NONFATAL_FAILURE(testsupport::countGdiObjectsWith([] { return 0; }),
                            "does not see a new brush");
}
