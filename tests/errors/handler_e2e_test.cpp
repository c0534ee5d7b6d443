// Drives errdemo.exe through the handler's three ways: a notice that
// abandons the operation, an unexpected error reported (with and without
// the mail) and a hardware fault. The mail program is mailcapture.exe,
// registered for mailto by this test and unregistered afterwards.
#include "harness/harness.h"
#include "support/test_support.h"

#include <gtest/gtest.h>


using namespace harness;
using testsupport::fileExists;
using testsupport::readFile;

namespace {

std::string binDir() { return testsupport::hostPath(VISTORO_TEST_BIN_DIR); }
std::string demoExe() { return binDir() + "\\errdemo.exe"; }

constexpr const char *kMailtoKey = "mailto\\shell\\open\\command";

// Makes mailcapture.exe the mailto handler for the life of the object and
// puts the previous command back afterwards.
class MailtoHandler {
  public:
    explicit MailtoHandler(const std::string &captureFile) {
        SetEnvironmentVariableA("VISTORO_MAIL_CAPTURE", captureFile.c_str());
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kMailtoKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                            nullptr, &key_, &disposition) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        createdKey_ = disposition == REG_CREATED_NEW_KEY;
        char old[2048];
        DWORD size = sizeof old, type = 0;
        if (RegQueryValueExA(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(old),
                             &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            previous_.assign(old, size > 0 && old[size - 1] == 0 ? size - 1 : size);
            previousType_ = type;
        }
        const std::string command = "\"" + binDir() + "\\mailcapture.exe\" \"%1\"";
        ok_ = RegSetValueExA(key_, nullptr, 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(command.c_str()),
                             static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS;
    }
    ~MailtoHandler() {
        if (key_) {
            if (previousType_)
                RegSetValueExA(key_, nullptr, 0, previousType_,
                               reinterpret_cast<const BYTE *>(previous_.c_str()),
                               static_cast<DWORD>(previous_.size() + 1));
            else
                RegDeleteValueA(key_, nullptr);
            RegCloseKey(key_);
            if (createdKey_)
                RegDeleteKeyA(HKEY_CLASSES_ROOT, kMailtoKey);
        }
        SetEnvironmentVariableA("VISTORO_MAIL_CAPTURE", nullptr);
    }
    bool ok() const { return ok_; }

  private:
    HKEY key_ = nullptr;
    bool createdKey_ = false;
    bool ok_ = false;
    std::string previous_;
    DWORD previousType_ = 0;
};

class HandlerE2E : public testing::Test {
  protected:
    testsupport::ScratchDir dir{"errdemo"};
    std::string capture = dir.file("mailto.txt");
    MailtoHandler mailto{capture};

    // Starts the demo in a mode and waits for the handler's box.
    HWND startAndWaitBox(std::unique_ptr<Process> &p, const std::string &mode) {
        p = std::make_unique<Process>(demoExe(), std::vector<std::string>{mode, dir.path()});
        return waitWindow(p->pid(), "#32770", "Attenzione");
    }
    bool shutdownRan() const { return fileExists(dir.file("shutdown.txt")); }
};

// The report question as the box shows it: the error text, an empty line
// and the question.
void expectQuestion(HWND box, const std::string &start) {
    const std::string text = messageBoxText(box);
    EXPECT_EQ(text.rfind(start, 0), 0u) << text;
    const std::string tail = "\r\n\r\nInviare rapporto di errore via email?";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    EXPECT_TRUE(hasControl(box, IDOK));
    EXPECT_TRUE(hasControl(box, IDCANCEL));
}

// The address the mail handler captured; read until the text is there, as
// right after the rename the file can still be unreadable for a moment.
std::string capturedAddress(const std::string &capture) {
    std::string address;
    waitUntil([&] {
        address = readFile(capture);
        return !address.empty();
    });
    return address;
}

} // namespace

TEST_F(HandlerE2E, ToldErrorAbandonsTheOperationAndTheProgramGoesOn) {
    std::unique_ptr<Process> p;
    HWND box = startAndWaitBox(p, "abandon");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "Impossibile accedere al file C:\\DATI\\PROVA.TXT.");
    EXPECT_TRUE(hasControl(box, IDOK));
    EXPECT_FALSE(hasControl(box, IDCANCEL));
    pressButton(box, IDOK);

    HWND main = waitWindow(p->pid(), "VistoroErrDemo", "Errdemo ripreso");
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(fileExists(dir.file("after-raise.txt")));
    EXPECT_FALSE(shutdownRan());
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(p->waitExit(), 0u);
    EXPECT_TRUE(shutdownRan());
}

TEST_F(HandlerE2E, UnexpectedErrorCancelledEndsWithoutMail) {
    ASSERT_TRUE(mailto.ok());
    std::unique_ptr<Process> p;
    HWND box = startAndWaitBox(p, "unexpected");
    ASSERT_NE(box, nullptr);
    expectQuestion(box, "Error C++/2  prova & 100% #1\r\n fine\r\nFunction: RAISEUNEXPECTED  Line: ");
    pressButton(box, IDCANCEL);
    EXPECT_EQ(p->waitExit(), 1u);
    EXPECT_TRUE(shutdownRan());
    // A mail program would have been started before the end: once none is
    // left running, none can still write its capture.
    EXPECT_TRUE(waitUntil([] { return !processRunning("mailcapture.exe"); }));
    EXPECT_FALSE(fileExists(capture));
}

TEST_F(HandlerE2E, UnexpectedErrorSentOpensTheMailWithTheWholeBody) {
    ASSERT_TRUE(mailto.ok());
    std::unique_ptr<Process> p;
    HWND box = startAndWaitBox(p, "unexpected");
    ASSERT_NE(box, nullptr);
    const std::string shown = messageBoxText(box);
    pressButton(box, IDOK);
    EXPECT_EQ(p->waitExit(), 1u);
    EXPECT_TRUE(shutdownRan());
    const std::string address = capturedAddress(capture);
    ASSERT_FALSE(address.empty()) << "no mail address captured";
    const std::string head = "mailto:?subject=Rapporto di errore&body=Applicazione: ";
    ASSERT_EQ(address.rfind(head, 0), 0u) << address;
    const std::string exe = demoExe();
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, address.c_str() + head.size(),
                             static_cast<int>(exe.size()), exe.c_str(),
                             static_cast<int>(exe.size())),
              CSTR_EQUAL)
        << address;
    const std::string body = "%0d%0a%0d%0aError C%2B%2B/2  prova %26 100%25 %231%0d%0a fine"
                             "%0d%0aFunction: RAISEUNEXPECTED  Line: ";
    EXPECT_EQ(address.compare(head.size() + exe.size(), body.size(), body), 0) << address;
    // The line in the body is the one the box showed.
    const std::string line = shown.substr(shown.find("Line: ") + 6);
    EXPECT_EQ(address.substr(head.size() + exe.size() + body.size()),
              line.substr(0, line.find('\r')));
}

TEST_F(HandlerE2E, AccessViolationIsReportedAndEndsTheProgram) {
    ASSERT_TRUE(mailto.ok());
    std::unique_ptr<Process> p;
    HWND box = startAndWaitBox(p, "fault");
    ASSERT_NE(box, nullptr);
    expectQuestion(box, "Error WIN32/5  Violazione di accesso in scrittura all'indirizzo 0x00000010: "
                        "eccezione 0xC0000005 a 0x");
    EXPECT_NE(messageBoxText(box).find("\r\nFunction: WRITEFAULT  Line: "), std::string::npos);
    pressButton(box, IDOK);
    EXPECT_EQ(p->waitExit(), 1u);
    EXPECT_TRUE(shutdownRan());
    const std::string address = capturedAddress(capture);
    ASSERT_FALSE(address.empty()) << "no mail address captured";
    EXPECT_NE(address.find("%0d%0a%0d%0aError WIN32/5  Violazione di accesso in scrittura "
                           "all'indirizzo 0x00000010: eccezione 0xC0000005 a 0x"),
              std::string::npos)
        << address;
    EXPECT_NE(address.find("%0d%0aFunction: WRITEFAULT  Line: "), std::string::npos) << address;
}

// The last chances end the same way: the question, then the end with the
// shut-down routines run.
TEST_F(HandlerE2E, StackOverflowAndEscapedExceptionAreReportedToo) {
    struct Case {
        const char *mode;
        const char *start;
        const char *routine;
    } cases[] = {
        {"overflow", "Error WIN32/253  Stack esaurito: eccezione 0xC00000FD a 0x", "RECURSE"},
        {"escape", "Error C++/2  nessun punto di ripresa\r\nFunction: ESCAPING  Line: ", "ESCAPING"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        DeleteFileA(dir.file("shutdown.txt").c_str());
        std::unique_ptr<Process> p;
        HWND box = startAndWaitBox(p, c.mode);
        ASSERT_NE(box, nullptr);
        expectQuestion(box, c.start);
        EXPECT_NE(messageBoxText(box).find(std::string("Function: ") + c.routine + "  Line: "),
                  std::string::npos);
        pressButton(box, IDCANCEL);
        EXPECT_EQ(p->waitExit(), 1u);
        EXPECT_TRUE(shutdownRan());
    }
}
