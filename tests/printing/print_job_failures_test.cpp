// The print job when the printer fails it, with the printer calls stood in
// for, so that no spooler is needed: no context, a refused document, and how
// the document ends on each way out of the job.
#include "printing/print_job.h"

#include "printing/printer_calls.h"
#include "printing/printer_setup.h"
#include "util/popmsg.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <cstring>
#include <stdexcept>
#include <vector>

using namespace vistoro;

namespace {

std::vector<std::string> &shown = testsupport::shownBoxes();

// The default query of a machine whose one printer is "Finta" on FILE:.
BOOL WINAPI fintaIsTheDefault(LPPRINTDLGW pd) {
    static const wchar_t names[] = L"winspool\0Finta\0FILE:";
    const HGLOBAL block =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVNAMES) + sizeof names);
    auto *dn = static_cast<DEVNAMES *>(GlobalLock(block));
    constexpr WORD first = sizeof(DEVNAMES) / sizeof(wchar_t); // offsets count characters
    dn->wDriverOffset = first;
    dn->wDeviceOffset = first + 9;
    dn->wOutputOffset = first + 15;
    std::memcpy(dn + 1, names, sizeof names);
    GlobalUnlock(block);
    pd->hDevNames = block;
    return TRUE;
}

// Stands in for the printer while it lives: the context it hands out is a
// memory context, and each call answers as set and is counted.
struct FakePrinter {
    bool giveContext = true;
    int startDocAnswer = 1, startPageAnswer = 1, endPageAnswer = 1;
    HDC dc = nullptr;
    std::wstring documentName;
    int callsAfterContext = 0; // every call but CreateDC
    int endDocs = 0, abortDocs = 0;

    FakePrinter() {
        PrinterCalls fake;
        fake.createDC = [this](const wchar_t *, const wchar_t *device, const wchar_t *,
                               const DEVMODEW *) {
            EXPECT_STREQ(device, L"Finta");
            return giveContext ? (dc = CreateCompatibleDC(nullptr)) : nullptr;
        };
        fake.startDoc = [this](HDC h, const DOCINFOW &di) {
            documentName = di.lpszDocName;
            return answer(h, startDocAnswer);
        };
        fake.startPage = [this](HDC h) { return answer(h, startPageAnswer); };
        fake.endPage = [this](HDC h) { return answer(h, endPageAnswer); };
        fake.endDoc = [this](HDC h) { return answer(h, ++endDocs); };
        fake.abortDoc = [this](HDC h) { return answer(h, ++abortDocs); };
        previous_ = detail::setPrinterCalls(std::move(fake));
    }
    ~FakePrinter() { detail::setPrinterCalls(std::move(previous_)); }
    FakePrinter(const FakePrinter &) = delete;
    FakePrinter &operator=(const FakePrinter &) = delete;

    // How the document was closed: "EndDoc", "AbortDoc", "" (not at all).
    std::string ending() const {
        if (endDocs + abortDocs > 1)
            return "more than once";
        return endDocs ? "EndDoc" : abortDocs ? "AbortDoc" : "";
    }
    bool contextDeleted() const { return dc && GetObjectType(dc) == 0; }

  private:
    int answer(HDC h, int value) {
        EXPECT_EQ(h, dc);
        ++callsAfterContext;
        return value;
    }
    PrinterCalls previous_;
};

class FailingPrinter : public ::testing::Test {
  protected:
    void SetUp() override {
        detail::setPrintDialogCall(fintaIsTheDefault); // the selection is made once per run
        shown.clear();
        setMessageBoxCall(testsupport::recordBox);
    }
    void TearDown() override { setMessageBoxCall(nullptr); }
};

} // namespace

TEST_F(FailingPrinter, NoContextIsToldOnceAndNothingMoreReachesThePrinter) {
    FakePrinter printer;
    printer.giveContext = false;
    TPrinter job({.cDocument = "senza contesto"});
    EXPECT_FALSE(job.hDC);
    EXPECT_FALSE(job.oDlg);
    job.StartPage();
    job.SayImage({.cFile = "x.bmp"});
    job.EndPage();
    job.End();
    EXPECT_EQ(shown,
              std::vector<std::string>{"Impossibile trovare la stampante Finta.|Attenzione"});
    EXPECT_EQ(printer.callsAfterContext, 0);
    EXPECT_EQ(job.nPage, 1);
}

TEST_F(FailingPrinter, RefusedDocumentIsNotToldNorClosedAndTheContextGoes) {
    FakePrinter printer;
    printer.startDocAnswer = SP_ERROR;
    std::string name; // 40 characters, each two bytes in UTF-8
    for (int i = 0; i < 40; ++i)
        name += "\xD0\xA4"; // Ф
    {
        TPrinter job({.cDocument = name});
        ASSERT_TRUE(job.hDC);
        EXPECT_EQ(printer.documentName, std::wstring(31, L'\u0424'));
        job.StartPage();
        job.EndPage();
        job.End();
        EXPECT_FALSE(job.hDC);
        EXPECT_TRUE(printer.contextDeleted());
    }
    EXPECT_EQ(printer.ending(), ""); // a document never started is not ended
    EXPECT_TRUE(shown.empty());
}

TEST_F(FailingPrinter, DocumentIsEndedByEndEvenAfterARefusedPageAndAbortedWhenEndIsSkipped) {
    struct Case {
        const char *how;
        int startPageAnswer = 1, endPageAnswer = 1;
        bool cancel = false;
        bool leaveByException = false;
        const char *ending;
    };
    const Case cases[] = {
        {.how = "one page printed", .ending = "EndDoc"},
        // Cancelling ends the document with what it has, with no abort.
        {.how = "cancelled before the page", .cancel = true, .ending = "EndDoc"},
        // A page the printer refuses is passed over: the job carries on and
        // ends its document as any other.
        {.how = "StartPage refused", .startPageAnswer = SP_ERROR, .ending = "EndDoc"},
        {.how = "EndPage refused", .endPageAnswer = 0, .ending = "EndDoc"},
        {.how = "left by an exception", .leaveByException = true, .ending = "AbortDoc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        FakePrinter printer;
        printer.startPageAnswer = c.startPageAnswer;
        printer.endPageAnswer = c.endPageAnswer;
        try {
            TPrinter job({.cDocument = c.how});
            ASSERT_TRUE(job.hDC);
            job.lCancel = c.cancel;
            job.StartPage();
            job.EndPage();
            if (c.leaveByException)
                throw std::runtime_error("drawing failed");
            job.End();
        } catch (const std::runtime_error &) {
        }
        EXPECT_EQ(printer.ending(), c.ending);
        EXPECT_TRUE(printer.contextDeleted());
        EXPECT_TRUE(shown.empty());
    }
}
