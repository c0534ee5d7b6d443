#include "printing/print_job.h"

#include "base/paths.h"
#include "imaging/decode.h"
#include "printing/packed_dib.h"
#include "printing/printer_setup.h"
#include "res/printdlg.h"
#include "toolkit/controls.h"
#include "toolkit/message_drain.h"
#include "toolkit/wrappers.h"
#include "util/dlghelp.h"
#include "util/libinit.h"
#include "util/popmsg.h"
#include "util/profile.h"
#include "base/text.h"

namespace vistoro {
namespace {

int g_printRow = 0; // current print row of the text output
int g_lineStep = 1; // its line step

// The comma-separated parts of a "Devices" entry: driver, port, ...
std::vector<std::string> commaParts(const std::string &entry) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = entry.find(',', start);
        parts.push_back(trim(entry.substr(start, comma - start)));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

UniqueDC contextOfNamedPrinter(const std::string &cModel) {
    const std::vector<std::string> parts = commaParts(GETPROFSTRING("Devices", cModel, ""));
    if (parts.size() < 2 || parts[0].empty())
        return {};
    return PRINTERDCFROMNAME(parts[0], cModel, parts[1]);
}

} // namespace

int SETPROW(std::optional<int> n) {
    if (n)
        g_printRow = *n;
    return g_printRow;
}

int PFEED(std::optional<int> n) {
    if (n)
        g_lineStep = *n;
    return g_lineStep;
}

std::string pageMetafileName(int nPage) {
    return libraryValues().ACS_TEMP + std::to_string(nPage) + ".WMF";
}

TPrinter::TPrinter(const TPrinterNew &a)
    : cDocument(a.cDocument.value_or("")), cModel(a.cModel.value_or("")), lPreview(a.lPreview) {
    if (!a.cModel) {
        hDC = GETPRINTDEFAULT();
        cModel = PRNGETNAME();
    } else {
        hDC = contextOfNamedPrinter(cModel);
    }
    if (!hDC) {
        POPMSG("Impossibile trovare la stampante " + cModel + ".", 1);
        return;
    }
    try {
        const auto offset = PRNOFFSET(hDC.get());
        nXOffset = offset[0];
        nYOffset = offset[1];
        PFEED(1);
        if (!lPreview) {
            // A refused document is not told: the pages then go nowhere.
            if (STARTDOC(hDC.get(), cDocument) > 0)
                document_.reset(hDC.get());
            hDCOut = hDC.get();
        }
        hWnd = GETACTIVEWINDOW();
        showProgress();
        // False: the window was enabled before, and is to be enabled again.
        if (hWnd && !ENABLEWINDOW(hWnd, false))
            windowDisabled_ = true;
    } catch (...) {
        releaseContext();
        throw;
    }
}

std::unique_ptr<TPrinter> TPrinter::New(const TPrinterNew &args) {
    return std::make_unique<TPrinter>(args);
}

TPrinter::~TPrinter() { releaseContext(); }

void TPrinter::showProgress() {
    oDlg = TDialog::New({.cCaption = cDocument, .cResName = "PRINTDLG"});
    TDialog &dlg = *oDlg;
    dlg.lModify = false;
    dlg.lHelpIcon = false;
    TBtnBmp::Redefine({.nId = IDC_PRINT_PICTURE, .cResName = "PRINT", .oWnd = &dlg});
    pageNumber_ = &TSay::Redefine(
        {.nId = IDC_PRINT_PAGE, .bText = [this] { return std::to_string(nPage); }, .oWnd = &dlg});
    TButton::Redefine({.nId = IDC_PRINT_CANCEL, .bAction = [this] { lCancel = true; }, .oWnd = &dlg});
    // Once shown, the dialog refuses to close while Esc is held, so that the
    // key meant for another window cannot end it.
    dlg.bStart = [&dlg] { dlg.bValid = [] { return !GETKEYSTATE(VK_ESCAPE); }; };
    dlg.Activate({.lCentered = true, .bValid = [&dlg] { return VALID(dlg); }, .lModal = false});
}

void TPrinter::StartPage() {
    if (!hDC || lCancel)
        return;
    // The number of the page now starting, and a click on the cancel button
    // taken in now.
    if (pageNumber_)
        pageNumber_->Refresh();
    SYSREFRESH();
    if (lCancel)
        return;
    if (!lPreview) {
        STARTPAGE(hDC.get()); // a refused page is passed over: the job carries on
    } else {
        closePage(); // a page left open is kept as it stands
        aMeta.push_back(pageMetafileName(nPage));
        page_ = CREATEMETAFILE(aMeta.back());
        hDCOut = page_.get();
    }
}

void TPrinter::EndPage() {
    if (!hDC)
        return;
    if (!lPreview) {
        if (!lCancel)
            ENDPAGE(hDC.get());
    } else {
        closePage();
    }
    ++nPage;
}

void TPrinter::SayImage(const TPrinterSayImage &a) {
    if (!hDC || lCancel || !fileExists(a.cFile))
        return;
    const UniqueBitmap bmp(LOADIMG(a.cFile));
    SayBitmapHandle(bmp.get(), a);
}

void TPrinter::SayBitmapHandle(HBITMAP hBitmap, const TPrinterSayImage &a) {
    if (!hDC || lCancel || !hBitmap)
        return;
    const UniqueGlobal dib = DIBFROMBITMAP(hBitmap);
    if (!dib)
        return;
    // A printer gets the picture's own colour table as a palette; the
    // recorded pages of a preview carry none.
    const UniquePalette pal = lPreview ? UniquePalette() : DIBPALETTE(dib.get());
    DIBDRAW(hDCOut, dib.get(),
            {.hPal = pal.get(), .nRow = a.nRow, .nCol = a.nCol, .nWidth = a.nWidth,
             .nHeight = a.nHeight, .nRaster = a.nRaster});
}

int TPrinter::nHorzRes() const { return GETDEVICECAPS(hDC.get(), HORZRES); }

int TPrinter::nVertRes() const { return GETDEVICECAPS(hDC.get(), VERTRES); }

void TPrinter::CloseWnd() {
    if (hWnd)
        ENABLEWINDOW(hWnd, true);
    windowDisabled_ = false;
    if (oDlg)
        oDlg->End();
    SYSREFRESH();
}

void TPrinter::End() {
    if (!hDC)
        return;
    CloseWnd();
    if (document_)
        ENDDOC(document_.release());
    releaseContext();
}

void TPrinter::Preview() {
    if (!hDC || !lPreview)
        return;
    CloseWnd();
    if (aMeta.empty())
        return;
    // The program has no preview window: the recorded pages are dropped as
    // the window would drop them when closed.
    End();
}

void TPrinter::closePage() noexcept {
    if (!page_)
        return;
    DELETEMETAFILE(CLOSEMETAFILE(std::move(page_))); // the file on disk keeps the page
    hDCOut = nullptr;
}

void TPrinter::releaseContext() noexcept {
    if (windowDisabled_)
        ENABLEWINDOW(hWnd, true);
    windowDisabled_ = false;
    pageNumber_ = nullptr;
    oDlg.reset(); // a dialog that refused to close goes with its object
    closePage();
    hDCOut = nullptr;
    document_.reset(); // not ended by End: aborted
    // The job is inert from here on: a second End finds no context.
    hDC.reset();
    for (const std::string &name : aMeta)
        ::DeleteFileW(widen(name).c_str());
    aMeta.clear();
}

} // namespace vistoro
