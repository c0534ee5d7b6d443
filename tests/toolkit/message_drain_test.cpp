#include "toolkit/message_drain.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace vistoro;

// Messages are posted to the thread itself: the drain takes them whatever
// window they are for.
TEST(MessageDrain, DrainsAndRepostsQuit) {
    EXPECT_TRUE(SYSREFRESH()); // empty queue

    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
    PostQuitMessage(3);
    EXPECT_FALSE(SYSREFRESH());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageDrain, RemembersTheLastCharacter) {
    toolkitState().lastKey = 0;
    PostThreadMessageW(GetCurrentThreadId(), WM_CHAR, 'q', 0);
    EXPECT_TRUE(SYSREFRESH());
    EXPECT_EQ(toolkitState().lastKey, 'q');
    // A character of any script stays one character.
    PostThreadMessageW(GetCurrentThreadId(), WM_CHAR, 0x0416, 0); // Ж
    EXPECT_TRUE(SYSREFRESH());
    EXPECT_EQ(toolkitState().lastKey, 0x0416);
}
