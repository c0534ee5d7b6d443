// Drives tkdemo from outside: paint, the start hook, key routing through the
// invisible list box, clicks with their coordinates, errors raised in a
// hook, the popup menu chosen and dismissed, a close refused by bValid, and
// a resource dialog widened by lResize16.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "harness/harness.h"
#include "support/test_support.h"

using namespace harness;
using testsupport::ScratchDir;

namespace {

std::string demoExe() { return testsupport::hostPath(VISTORO_TEST_BIN_DIR) + "\\tkdemo.exe"; }

std::vector<std::string> logLines(const std::string &path) {
    std::vector<std::string> lines;
    if (!testsupport::fileExists(path))
        return lines;
    std::istringstream in(testsupport::readFile(path));
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        lines.push_back(l);
    }
    return lines;
}
int countOf(const std::vector<std::string> &lines, const std::string &prefix) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string &l) {
        return l.rfind(prefix, 0) == 0;
    }));
}
bool waitLine(const std::string &path, const std::string &line, int times = 1,
              Millis wait = Millis{5000}) {
    return waitUntil([&] { return countOf(logLines(path), line) >= times; }, wait);
}
int indexOf(const std::vector<std::string> &lines, const std::string &line) {
    auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

} // namespace

TEST(ToolkitE2E, ModalDialogHooksKeysClicksMenuAndRefusedClose) {
    ScratchDir dir("tk");
    const std::string log = dir.file("main.log");
    Process p(demoExe(), {"main", log});
    HWND wnd = waitWindow(p.pid(), "#32770", "tkdemo main");
    ASSERT_NE(wnd, nullptr);
    ASSERT_TRUE(waitLine(log, "start"));

    // Painted: the hook's green square is on screen, in the client area.
    const RECT client = clientRectOnScreen(wnd);
    EXPECT_TRUE(waitUntil([&] { return screenPixel(client.left + 10, client.top + 10) == 0x0AC81E; },
                          Millis{3000}));
    // Placed by the on-init hook: 307 x 207, centred on the 1920 x 1080 screen.
    const RECT wr = windowRect(wnd);
    EXPECT_EQ(wr.right - wr.left, 307);
    EXPECT_EQ(wr.left, 1920 / 2 - 307 / 2);
    EXPECT_EQ(wr.top, 1080 / 2 - 207 / 2);

    // Keys reach the list box's hook with their codes; Tab and Enter do not,
    // and Enter leaves the dialog open.
    const std::vector<WORD> keys{VK_DOWN, VK_UP,  VK_LEFT,  VK_RIGHT, VK_PRIOR, VK_NEXT,
                                 VK_HOME, VK_END, VK_SPACE, 'S',      'A'};
    for (WORD k : {VK_TAB, VK_RETURN})
        typeKey(wnd, k);
    for (WORD k : keys)
        typeKey(wnd, k);
    ASSERT_TRUE(waitLine(log, "key 65"));
    {
        std::vector<std::string> got;
        for (const auto &l : logLines(log))
            if (l.rfind("key ", 0) == 0)
                got.push_back(l);
        std::vector<std::string> want;
        for (WORD k : keys)
            want.push_back("key " + std::to_string(k));
        EXPECT_EQ(got, want);
    }
    EXPECT_TRUE(::IsWindow(wnd) && ::IsWindowVisible(wnd));
    EXPECT_EQ(countOf(logLines(log), "refused"), 0);

    // Errors raised or thrown in a hook are told and abandoned; the dialog
    // goes on taking keys.
    typeKey(wnd, 'E');
    typeKey(wnd, 'X');
    typeKey(wnd, 'B');
    ASSERT_TRUE(waitLine(log, "key 66"));
    {
        const auto lines = logLines(log);
        EXPECT_EQ(countOf(lines, "error Raised in a hook"), 1);
        EXPECT_EQ(countOf(lines, "error Thrown in a hook"), 1);
        EXPECT_EQ(countOf(lines, "not abandoned"), 0);
    }

    // A left click at client x 10, y 20 arrives as row 20, column 10.
    click(client.left + 10, client.top + 20);
    ASSERT_TRUE(waitLine(log, "lclick 20 10 touch=0"));

    // More paints do not run the start hook again.
    const int paintsBefore = countOf(logLines(log), "paint ");
    ::InvalidateRect(wnd, nullptr, TRUE);
    EXPECT_TRUE(waitUntil([&] { return countOf(logLines(log), "paint ") > paintsBefore; },
                          Millis{3000}));
    EXPECT_EQ(countOf(logLines(log), "start"), 1);

    // Menu: the first entry chosen runs inside Activate, before the menu goes.
    HWND menu = openContextMenu(p.pid(), wnd, 40, 30);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(waitLine(log, "rclick 30 40"));
    postKey(menu, VK_DOWN);
    postKey(menu, VK_RETURN);
    ASSERT_TRUE(waitLine(log, "menu done popup=0 alive=0"));
    {
        const auto lines = logLines(log);
        const int chose = indexOf(lines, "chose one menu=1");
        EXPECT_GE(chose, 0);
        EXPECT_LT(chose, indexOf(lines, "menu done popup=0 alive=0"));
    }

    // Dismissed with Esc: nothing runs, the dialog stays.
    menu = openContextMenu(p.pid(), wnd, 50, 50);
    ASSERT_NE(menu, nullptr);
    postKey(menu, VK_ESCAPE);
    ASSERT_TRUE(waitLine(log, "menu done popup=0 alive=0", 2));
    EXPECT_EQ(countOf(logLines(log), "chose"), 1);
    EXPECT_TRUE(::IsWindow(wnd));

    // Esc asks bValid, which refuses the first time: the dialog stays.
    typeKey(wnd, VK_ESCAPE);
    ASSERT_TRUE(waitLine(log, "refused"));
    EXPECT_TRUE(::IsWindow(wnd) && ::IsWindowVisible(wnd));

    // The menu's Close ends the dialog from within the menu's Activate.
    menu = openContextMenu(p.pid(), wnd, 50, 50);
    ASSERT_NE(menu, nullptr);
    for (WORD k : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN})
        postKey(menu, k);
    auto code = p.waitExit(Millis{10000});
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
    const auto lines = logLines(log);
    EXPECT_EQ(countOf(lines, "allowed 1"), 1);
    EXPECT_EQ(countOf(lines, "menu done popup=0 alive=0"), 3);
    EXPECT_EQ(countOf(lines, "result 2 visible=0"), 1);
    EXPECT_EQ(countOf(lines, "key 27"), 0); // Esc went to the dialog, not the hook
}

namespace {
struct ResourceRun {
    int width = 0, height = 0;
    std::vector<std::vector<int>> children; // id, left, top, width, height
    std::string sayText;
    bool logoPainted = false;
    std::vector<std::string> lines;
};

ResourceRun runResource(const ScratchDir &dir, bool widen) {
    ResourceRun run;
    const std::string log = dir.file(widen ? "res1.log" : "res0.log");
    Process p(demoExe(), {"resource", log, widen ? "1" : "0"});
    HWND wnd = waitWindow(p.pid(), "#32770", "tkdemo resource");
    EXPECT_NE(wnd, nullptr);
    if (!wnd)
        return run;
    char text[64] = {};
    ::GetDlgItemTextA(wnd, 102, text, sizeof text);
    run.sayText = text;
    // The image control paints its bitmap resource (8 x 8, green) at (0, 0).
    RECT img{};
    ::GetWindowRect(::GetDlgItem(wnd, 101), &img);
    run.logoPainted = waitUntil(
        [&] { return screenPixel(img.left + 3, img.top + 3) == 0x0AC81E; }, Millis{3000});
    pressButton(wnd, 201);
    EXPECT_TRUE(p.waitExit(Millis{10000}).has_value());
    run.lines = logLines(log);
    for (const auto &l : run.lines) {
        std::istringstream in(l);
        std::string word;
        in >> word;
        if (word == "dialog") {
            in >> run.width >> run.height;
        } else if (word == "child") {
            std::vector<int> c(5);
            for (int &v : c)
                in >> v;
            run.children.push_back(c);
        }
    }
    return run;
}
} // namespace

TEST(ToolkitE2E, ResourceDialogWidenedByResize16AndClosedByItsButton) {
    ScratchDir dir("tkres");
    const ResourceRun plain = runResource(dir, false);
    const ResourceRun wide = runResource(dir, true);
    ASSERT_EQ(plain.children.size(), 3u);
    ASSERT_EQ(wide.children.size(), 3u);
    constexpr double k = 1.16668;
    EXPECT_EQ(wide.width, static_cast<int>(plain.width * k));
    EXPECT_EQ(wide.height, plain.height);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto &a = plain.children[i], &b = wide.children[i];
        EXPECT_EQ(b[1], static_cast<int>(a[1] * k)) << "left of " << a[0];
        EXPECT_EQ(b[2], a[2]) << "top of " << a[0];
        EXPECT_EQ(b[3], static_cast<int>(a[3] * k)) << "width of " << a[0];
        EXPECT_EQ(b[4], a[4]) << "height of " << a[0];
    }
    // The text control shows its hook's text; the button's action set Cargo
    // to 1 and ended with 1, and the close check took the confirm path.
    EXPECT_EQ(wide.sayText, "Version: 2.22");
    EXPECT_TRUE(plain.logoPainted);
    EXPECT_TRUE(wide.logoPainted);
    EXPECT_EQ(countOf(wide.lines, "result 1 cargo=0"), 1);
    EXPECT_EQ(countOf(plain.lines, "result 1 cargo=0"), 1);
}
