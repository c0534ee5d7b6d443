#include "errors/fault.h"
#include "errors/handler.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

using namespace vistoro;

namespace {

struct Quit {
    unsigned code;
};

// Watches the handler's platform calls: boxes, addresses opened and the quit.
class HandlerTest : public testing::Test {
  protected:
    struct Shown {
        std::string text;
        int type;
    };
    std::vector<Shown> shown;
    std::vector<std::string> opened;
    std::optional<unsigned> quitCode;
    int answer = 2; // Cancel
    std::function<void()> whileAsking;

    void SetUp() override {
        setHandlerPorts({
            .popup = [this](const std::string &m, int t) -> std::optional<int> {
                shown.push_back({m, t});
                if (t == 2 && whileAsking)
                    whileAsking();
                return t == 2 ? std::optional<int>(answer == 1 ? 1 : 0) : std::nullopt;
            },
            .openAddress = [this](const std::string &a) { opened.push_back(a); },
            .programPath = [] { return std::string("C:\\Prog\\vistoro.exe"); },
            .quit = [this](unsigned code) {
                quitCode = code;
                throw Quit{code};
            },
        });
        setErrorHandler([](const ErrorObject &e) { return DEFERROR(e); });
        NETERR(false);
    }
    void TearDown() override {
        setHandlerPorts({});
        setErrorHandler(nullptr);
        NETERR(false);
    }
    // The notice of an error that must be told and abandoned.
    std::string toldText(const ErrorObject &e) {
        shown.clear();
        EXPECT_THROW(DEFERROR(e), AbandonOperation);
        EXPECT_EQ(shown.size(), 1u);
        if (shown.empty())
            return "";
        EXPECT_EQ(shown[0].type, 1);
        return shown[0].text;
    }
};

ErrorObject err(int os, int gen, std::optional<int> sub = std::nullopt, bool canDefault = false) {
    ErrorObject e;
    e.osCode = os;
    e.genCode = gen;
    e.subCode = sub;
    e.subSystem = "DBFNTX";
    e.description = "Open error";
    e.filename = "c:\\dati\\clienti.dbf";
    e.canDefault = canDefault;
    return e;
}

} // namespace

TEST_F(HandlerTest, TellsAndAbandonsByTheTableInOrder) {
    const std::string f = "C:\\DATI\\CLIENTI.DBF";
    struct Case {
        ErrorObject e;
        std::string text;
    } cases[] = {
        {err(21, 0), "Disco " + f + " non pronto."},
        {err(27, 0), "Disco " + f + " non formattato."},
        {err(31, 0), "Disco " + f + " non formattato."},
        {err(19, 0), "Disco " + f + " protetto da scrittura."},
        {err(82, 0), "Directory " + f + " piena."},
        {err(0, 0, 2016), "Spazio sul disco " + f + " insufficiente."},
        {err(5, 0), "Impossibile accedere al file " + f + "."},
        {err(3, 0), "Percorso " + f + " non trovato."},
        {err(2, 0), "Impossibile aprire il file " + f + "."},
        {err(0, 0, 1012), "Il file " + f + " risulta corrotto."},
        {err(0, 32), "Il file " + f + " risulta corrotto."},
        // Earlier rows win over later ones.
        {err(21, 0, 2016), "Disco " + f + " non pronto."},
        {err(2, 32, 1012), "Impossibile aprire il file " + f + "."},
        // Access denied on an open that may fail softly is still told.
        {err(5, 21, std::nullopt, true), "Impossibile accedere al file " + f + "."},
    };
    for (const Case &c : cases)
        EXPECT_EQ(toldText(c.e), c.text) << "osCode " << c.e.osCode;
    EXPECT_FALSE(NETERR());
    EXPECT_TRUE(opened.empty());
}

TEST_F(HandlerTest, SoftFailuresAndDivisionShowNothing) {
    EXPECT_EQ(DEFERROR(err(32, 21, std::nullopt, true)), 0);
    EXPECT_TRUE(NETERR());
    NETERR(false);
    EXPECT_EQ(DEFERROR(err(0, 40, std::nullopt, true)), 0);
    EXPECT_TRUE(NETERR());
    NETERR(false);
    EXPECT_EQ(DEFERROR(err(0, kGenZeroDiv)), 0);
    EXPECT_FALSE(NETERR());

    EXPECT_EQ(checkedDiv(7, 0), 0);
    EXPECT_EQ(checkedDivReal(640.0, 0.0), 0.0);
    EXPECT_EQ(checkedDiv(-7, 2), -3);
    EXPECT_EQ(checkedDiv(LLONG_MIN, -1), LLONG_MAX);
    EXPECT_DOUBLE_EQ(checkedDivReal(1.0, 4.0), 0.25);
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(quitCode);
}

TEST_F(HandlerTest, SharingViolationWithoutDefaultIsUnexpected) {
    EXPECT_THROW(DEFERROR(err(32, 21, std::nullopt, false)), Quit);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].type, 2);
    EXPECT_FALSE(NETERR());
}

namespace {
ErrorObject plain() {
    ErrorObject e;
    e.severity = 2;
    e.subSystem = "BASE";
    e.subCode = 1003;
    e.description = "Variable does not exist";
    return e;
}
std::string messageIn(int line) {
    TrailFrame f("PAINTIMG", line);
    return ERRORMESSAGE(plain());
}
} // namespace

TEST_F(HandlerTest, ErrorMessageParts) {
    TrailFrame outer("CHANGEIMG", 120);
    ErrorObject e = plain();
    EXPECT_EQ(ERRORMESSAGE(e), "Error BASE/1003  Variable does not exist;Function: CHANGEIMG  Line: 120");
    e.severity = 1;
    e.subSystem.reset();
    e.subCode.reset();
    e.description.reset();
    e.operation = "+";
    EXPECT_EQ(ERRORMESSAGE(e), "Warning ???" "/???: +;Function: CHANGEIMG  Line: 120");
    e.filename = "a.png";
    EXPECT_EQ(ERRORMESSAGE(e), "Warning ???" "/???: a.png;Function: CHANGEIMG  Line: 120");

    // A routine without a line names the first caller that has one.
    EXPECT_EQ(messageIn(0), "Error BASE/1003  Variable does not exist;Function: CHANGEIMG  Line: 120");
    EXPECT_EQ(messageIn(33), "Error BASE/1003  Variable does not exist;Function: PAINTIMG  Line: 33");

    // A table command names the routine one level further up.
    TrailFrame cmd("DBUSEAREA", 7);
    e = plain();
    e.subSystem = "DBCMDX";
    EXPECT_EQ(ERRORMESSAGE(e), "Error DBCMDX/1003  Variable does not exist;Function: CHANGEIMG  Line: 120");
}

namespace {
// Raises the toolkit error from a line of its own.
void failingHook() {
    TrailFrame f;
    ErrorObject e;
    e.genCode = kGenToolkit;
    e.subSystem = "TDIALOG";
    e.subCode = 1;
    e.description = "Cannot create Dialog Box";
    raiseError(e);
}
} // namespace

TEST_F(HandlerTest, ToolkitErrorNamesTheRaisingLineThroughTheHandler) {
    const int line = __LINE__ - 5; // the raiseError line above
    EXPECT_THROW(failingHook(), AbandonOperation);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Error TDIALOG/1  Cannot create Dialog Box;Function: failingHook"
                             "  Line: " + std::to_string(line));
}

TEST_F(HandlerTest, UnexpectedCancelEndsWithoutMail) {
    ErrorObject e = plain();
    EXPECT_THROW(DEFERROR(e), Quit);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].type, 2);
    EXPECT_EQ(shown[0].text, "Error BASE/1003  Variable does not exist;Function:   Line: 0"
                             ";;Inviare rapporto di errore via email?");
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(quitCode, kExitUnexpected);
}

TEST_F(HandlerTest, UnexpectedOkOpensTheMailThenEnds) {
    answer = 1;
    TrailFrame f("ZOOM", 12);
    ErrorObject e = plain();
    e.description = "x & y; 100% #2";
    EXPECT_THROW(DEFERROR(e), Quit);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "mailto:?subject=Rapporto di errore&body=Applicazione: C:\\Prog\\vistoro.exe"
                         "%0d%0a%0d%0aError BASE/1003  x %26 y%0d%0a 100%25 %232"
                         "%0d%0aFunction: ZOOM  Line: 12");
    EXPECT_EQ(quitCode, kExitUnexpected);
}

TEST_F(HandlerTest, MailBodyArrivesWhole) {
    EXPECT_EQ(encodeMailBody("a&b;c%d#e+f\"g<h>\r\n\xC3\xA8"),
              "a%26b%0d%0ac%25d%23e%2Bf%22g%3Ch%3E%0D%0A%C3%A8");
    // A folder name may hold any of these; ";" stays a character there.
    EXPECT_EQ(mailtoAddress("C:\\A&B;C 50%\\v.exe", "m;n"),
              "mailto:?subject=Rapporto di errore&body=Applicazione: C:\\A%26B%3BC 50%25\\v.exe"
              "%0d%0a%0d%0am%0d%0an");
    // Plain text passes unchanged, blanks and punctuation included.
    EXPECT_EQ(encodeMailBody("Error BASE/1  x: y.z (1) = ok?"), "Error BASE/1  x: y.z (1) = ok?");
}

TEST_F(HandlerTest, ErrorDuringTheQuestionAbandonsOnlyThatHook) {
    answer = 1;
    int nested = -1;
    whileAsking = [&] {
        whileAsking = nullptr;
        nested = recoveryPoint([] { raiseError(plain()); }) ? 1 : 0;
    };
    EXPECT_THROW(DEFERROR(plain()), Quit);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(shown.size(), 1u); // no second question
    EXPECT_EQ(opened.size(), 1u);
}

namespace {
void innermost() {
    TrailFrame f("LOADIMG", 40);
    throw std::runtime_error("boom");
}
void middle() {
    TrailFrame f("CHANGEIMG", 80);
    try {
        TrailFrame g("STALE", 1);
        throw 1; // caught and handled here: its frame must not reappear
    } catch (int) {
    }
    innermost();
}
} // namespace

TEST_F(HandlerTest, CppExceptionReachesTheHandlerAtTheBoundaryWithItsRoutine) {
    TrailFrame top("WNDPROC", 5);
    EXPECT_FALSE(recoveryPoint(middle));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Error C++/2  boom;Function: LOADIMG  Line: 40"
                             ";;Inviare rapporto di errore via email?");
    EXPECT_EQ(quitCode, kExitUnexpected);
    EXPECT_EQ(trailDepth(), 1u); // the restored frames are gone again
    EXPECT_EQ(PROCNAME(0), "WNDPROC");
}

TEST_F(HandlerTest, AbandonAtTheBoundaryIsQuiet) {
    EXPECT_FALSE(recoveryPoint([] { raiseError(err(2, 0)); }));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(recoveryPoint([] {}));
    EXPECT_FALSE(quitCode);
}

TEST(FaultError, DescribesAccessViolation) {
    EXCEPTION_RECORD r{};
    r.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    r.ExceptionAddress = reinterpret_cast<void *>(0x401234);
    r.NumberParameters = 2;
    r.ExceptionInformation[0] = 1;
    r.ExceptionInformation[1] = 0x10;
    ErrorObject e = faultError(r);
    EXPECT_EQ(e.genCode, 0);
    EXPECT_EQ(e.subCode, 5);
    EXPECT_EQ(e.subSystem, "WIN32");
    EXPECT_EQ(e.description, "Violazione di accesso in scrittura all'indirizzo 0x00000010");
    EXPECT_EQ(e.operation, "eccezione 0xC0000005 a 0x00401234");
}
