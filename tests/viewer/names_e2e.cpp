// Names outside the user's code page, with the program built without the
// manifest's UTF-8 code page, as Windows 7, 8 and 8.1 (and Windows 10 before
// version 1903) run it: the process code page is the user's, 1252 here.
// Japanese and mixed Greek and Cyrillic names, in a Cyrillic folder, go
// through start-up, the title, navigation, the open-file dialog and
// printing.
#include "base/text.h"
#include "harness/harness.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <algorithm>
#include <functional>
#include <map>

using namespace harness;

namespace {

const std::string kExe = testsupport::hostPath(VISTORO_USERCP_EXE);

std::string utf8(const std::wstring &w) {
    return vistoro::narrowUtf8(w);
}

// The process's window with this title, waited for.
HWND waitTitled(const Process &p, const std::wstring &wanted) {
    return waitWindow(p.pid(), "#32770", utf8(wanted), Millis{10000});
}

// What the first visible window of the process shows, for a failure message.
std::string firstWindowTitle(const Process &p) {
    const std::vector<HWND> shown = windowsOf(p.pid());
    if (shown.empty())
        return "no window";
    return title(shown.front()) + ": " + messageBoxText(shown.front());
}

// A short folder at the root of C:, so that the printed document's name,
// cut to 31 characters, ends inside the Japanese name.
class Folder {
  public:
    Folder()
        : path_(L"C:\\zvn" + std::to_wstring(GetCurrentProcessId()) +
                L"-\u0424\u043E\u0442\u043E") {
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~Folder() { testsupport::removeTree(utf8(path_)); }
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    const std::wstring &path() const { return path_; }
    std::wstring file(const std::wstring &name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

// The probe library's hook on the program's thread: it reports, from inside
// the program, its code page and its open print jobs (names_probe.cpp).
class Probe {
  public:
    explicit Probe(const std::wstring &out) : out_(out) {
        DeleteFileW(out_.c_str());
        SetEnvironmentVariableW(L"VISTORO_PROBE_OUT", out_.c_str()); // the program inherits it
        library_ = LoadLibraryW(vistoro::widen(testsupport::hostPath(VISTORO_NAMES_PROBE)).c_str());
    }
    ~Probe() {
        if (hook_)
            UnhookWindowsHookEx(hook_);
        if (library_)
            FreeLibrary(library_);
        SetEnvironmentVariableW(L"VISTORO_PROBE_OUT", nullptr);
    }
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;

    // Hooks the thread of the window and has it take a message, so that the
    // code page is reported.
    bool attach(HWND wnd) {
        const auto proc = reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void (*)()>(GetProcAddress(library_, "probeHook")));
        if (!proc)
            return false;
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, proc, library_,
                                  GetWindowThreadProcessId(wnd, nullptr));
        DWORD_PTR answer = 0;
        return hook_ && SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
    }

    // The reports so far that begin with key ("acp=", "job="), without it.
    std::vector<std::string> reports(const std::string &key) const {
        std::vector<std::string> found;
        const std::string all = testsupport::readFile(utf8(out_));
        for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
            if (all.compare(at, key.size(), key) == 0)
                found.push_back(all.substr(at + key.size(), end - at - key.size()));
        return found;
    }

    // Whether the report key + value comes within the wait.
    bool waitReport(const std::string &key, const std::string &value) const {
        return waitUntil(
            [&] {
                const std::vector<std::string> seen = reports(key);
                return std::find(seen.begin(), seen.end(), value) != seen.end();
            },
            Millis{20000});
    }

  private:
    std::wstring out_;
    HMODULE library_ = nullptr;
    HHOOK hook_ = nullptr;
};

// The bundled samples under names in three scripts. In the listing order
// (by name, case folded): the Latin one, the Greek and Cyrillic one, the
// Japanese one.
const std::wstring kLatin = L"a.jpg";
const std::wstring kGreekCyrillic = L"\u0391\u03B8\u03AE\u03BD\u03B1-\u041C\u043E\u0441\u043A"
                                    L"\u0432\u0430.png"; // Αθήνα-Москва.png
const std::wstring kGreekCyrillicLower = L"\u03B1\u03B8\u03AE\u03BD\u03B1-\u043C\u043E\u0441"
                                         L"\u043A\u0432\u0430.png";
const std::wstring kJapanese = L"\u591C\u306E\u6771\u4EAC\u30BF\u30EF\u30FC\u3068\u96EA\u306E"
                               L"\u5BCC\u58EB\u5C71\u3068\u685C\u306E\u5199\u771F.gif";
// 夜の東京タワーと雪の富士山と桜の写真.gif

class NamesE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::map<std::wstring, const char *> samples{{kLatin, "01-dawn.jpg"},
                                                           {kGreekCyrillic, "02-checks.png"},
                                                           {kJapanese, "04-badge.gif"}};
        for (const auto &[name, sample] : samples) {
            const std::string bytes =
                testsupport::readFile(testsupport::samplesDir() + "\\" + sample);
            ASSERT_FALSE(bytes.empty());
            testsupport::writeFile(utf8(folder.file(name)), bytes);
        }
    }

    // The program's path of a file of the folder: lower case ("C:" and
    // "Фото" too).
    std::wstring shown(const std::wstring &lowerName) const {
        std::wstring dir = folder.path();
        CharLowerBuffW(dir.data(), static_cast<DWORD>(dir.size()));
        return dir + L"\\" + lowerName;
    }
    static std::wstring caption(const std::wstring &path) { return L"ZELM Vistoro - " + path; }

    // Hooks the program's first window. False, with the test failed or
    // skipped, unless the program runs in a code page that cannot write the
    // names: in any other the test could not fail.
    bool runsInANarrowCodePage(const Process &p) {
        HWND first = nullptr;
        waitUntil([&] {
            const auto shown = windowsOf(p.pid());
            first = shown.empty() ? nullptr : shown.front();
            return first != nullptr;
        });
        if (!first || !probe.attach(first)) {
            ADD_FAILURE() << (first ? "the probe could not be set" : "the program showed nothing");
            return false;
        }
        if (!waitUntil([&] { return !probe.reports("acp=").empty(); })) {
            ADD_FAILURE() << "the probe did not report";
            return false;
        }
        const UINT cp = static_cast<UINT>(std::stoul(probe.reports("acp=").front()));
        for (const std::wstring &name : {kGreekCyrillic, kJapanese}) {
            BOOL lost = FALSE;
            if (cp != CP_UTF8)
                WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr,
                                    &lost);
            if (!lost) { // UTF-8 or a code page of these scripts
                [&] {
                    GTEST_SKIP() << "the program's code page " << cp << " writes " << utf8(name);
                }();
                return false;
            }
        }
        return true;
    }

    Folder folder;
    Probe probe{folder.file(L"probe.txt")}; // no picture: not listed
};

} // namespace

TEST_F(NamesE2E, BareNameInTheCurrentFolderStartsThenStepsWithItsTitle) {
    Process p(kExe, {utf8(kJapanese)}, utf8(folder.path()));
    if (!runsInANarrowCodePage(p))
        return;

    HWND w = waitTitled(p, caption(shown(kJapanese)));
    ASSERT_TRUE(w) << "not shown by its name; the program shows " << firstWindowTitle(p);
    ASSERT_TRUE(waitPainted(w)); // keys before the first paint are dropped
    typeKey(w, VK_HOME);
    EXPECT_TRUE(waitTitled(p, caption(shown(kLatin)))) << title(w);
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(waitTitled(p, caption(shown(kGreekCyrillicLower)))) << title(w);
    typeKey(w, VK_END);
    EXPECT_TRUE(waitTitled(p, caption(shown(kJapanese)))) << title(w);
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST_F(NamesE2E, NameTypedIntoTheOpenFileDialogIsShown) {
    Process p(kExe, {}, utf8(folder.path()));
    if (!runsInANarrowCodePage(p))
        return;

    HWND dlg = waitTitled(p, L"Open an image file");
    ASSERT_TRUE(dlg) << "no open-file dialog; the program shows " << firstWindowTitle(p);
    openDialogChoose(dlg, utf8(folder.file(kGreekCyrillic)));
    HWND w = waitTitled(p, caption(shown(kGreekCyrillicLower)));
    ASSERT_TRUE(w) << "not shown by its name; the program shows " << firstWindowTitle(p);
    ASSERT_TRUE(waitPainted(w));
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST_F(NamesE2E, PrintedDocumentIsNamedAfterTheFile) {
    wchar_t printer[256];
    DWORD size = 256;
    if (!GetDefaultPrinterW(printer, &size))
        GTEST_SKIP() << "no printer configured (scripts/print-server.sh adds the PDF printer)";

    Process p(kExe, {utf8(folder.file(kJapanese))});
    if (!runsInANarrowCodePage(p))
        return;
    HWND w = waitTitled(p, caption(shown(kJapanese)));
    ASSERT_TRUE(w) << "not shown by its name; the program shows " << firstWindowTitle(p);
    ASSERT_TRUE(waitPainted(w));

    // Print, fifth entry from the end of the menu.
    HWND menu = openContextMenu(p.pid(), w, 10, 10);
    ASSERT_TRUE(menu) << "no menu on the right click";
    for (WORD k : {VK_UP, VK_UP, VK_UP, VK_UP, VK_UP, VK_RETURN})
        postKey(menu, k);

    // The spooler's document is named after the file's first 31
    // characters; the cut falls inside the Japanese name.
    const std::wstring document = shown(kJapanese).substr(0, 31);
    ASSERT_LT(shown(L"").size(), document.size());
    ASSERT_GT(shown(kJapanese).size() - 4, document.size());
    EXPECT_TRUE(probe.waitReport("job=", utf8(document)))
        << "jobs seen: " << ::testing::PrintToString(probe.reports("job="));
    // Its progress dialog's title is the whole name.
    EXPECT_TRUE(probe.waitReport("title=", utf8(shown(kJapanese))))
        << "titles seen: " << ::testing::PrintToString(probe.reports("title="));

    // The job ends and gives the window back.
    EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(w) && windowsOf(p.pid()).size() == 1; },
                          Millis{20000}));
    // Typed right after the job's dialog has gone, a key now and then
    // reaches no window here (Wine's input focus lags); posted to the focus
    // holder, Esc takes the same road.
    postKey(GetWindow(w, GW_CHILD), VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}
