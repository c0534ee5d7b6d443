// TPrinter: one print job, one printed document. It takes a printer context
// from the printer selection (or from a printer named by the caller), starts
// the spooler document and shows a progress dialog with a cancel button
// while the caller draws page by page. In preview mode each page is
// recorded into a metafile on disk instead of being printed.
#pragma once

#include "base/handles.h"
#include "printing/print_device.h"
#include "toolkit/dialog.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistoro {

class TSay;

struct TPrinterNew {
    std::optional<std::string> cDocument; // ""
    bool lPreview = false;
    bool lNoPrint = false; // in the job's interface; only a preview window would read it
    std::optional<std::string> cModel; // a printer's device name; none: the selection
};

struct TPrinterSayImage {
    int nRow = 0, nCol = 0;
    std::string cFile;
    int nWidth = 0, nHeight = 0; // either 0: the picture's own size
    DWORD nRaster = 0;          // 0: plain copy
};

class TPrinter {
  public:
    // Makes the job; without a printer it tells the user and stays inert
    // (hDC 0), and every later operation does nothing.
    explicit TPrinter(const TPrinterNew &args = {});
    // The job's interface names New; the viewer constructs the job directly.
    static std::unique_ptr<TPrinter> New(const TPrinterNew &args = {});
    // A job left without End (an exception on the way) is aborted here: its
    // document is dropped unprinted and nothing it holds outlives it.
    ~TPrinter();
    TPrinter(const TPrinter &) = delete;
    TPrinter &operator=(const TPrinter &) = delete;

    // Finishes the job and releases everything; the job is inert afterwards.
    void End();
    // Preview mode: closes the progress dialog and hands the recorded pages
    // on (see the definition).
    void Preview();
    // Closes the progress dialog and enables the disabled window again.
    void CloseWnd();
    void StartPage();
    void EndPage();
    // Draws the picture of a file at a device position, stretched to the
    // given size. Nothing for a missing or undecodable file.
    void SayImage(const TPrinterSayImage &args);
    // The same from a bitmap already in memory, which stays the caller's;
    // args.cFile is not read.
    void SayBitmapHandle(HBITMAP hBitmap, const TPrinterSayImage &args);
    // The printable area in device pixels, always from the printer context.
    int nHorzRes() const;
    int nVertRes() const;

    std::string cDocument;
    std::string cModel;
    UniqueDC hDC; // the printer's context; empty: no printer
    // Where drawing goes, not owned: hDC in print mode, the recording context
    // of the page in preview mode (0 between pages).
    HDC hDCOut = nullptr;
    int nXOffset = 0, nYOffset = 0;
    int nPage = 1;
    bool lPreview = false;
    std::vector<std::string> aMeta; // recorded page files, in page order
    HWND hWnd = nullptr;            // disabled while the job runs
    std::unique_ptr<TDialog> oDlg;  // the progress dialog
    bool lCancel = false;

  private:
    void showProgress();
    // Preview mode: ends the recording of the page, whose file stays.
    void closePage() noexcept;
    void releaseContext() noexcept;
    TSay *pageNumber_ = nullptr;  // the dialog's page-number text (oDlg owns it)
    UniqueMetafileDC page_;       // preview mode: the page being recorded
    SpoolerDocument document_;    // print mode: open until End ends it
    bool windowDisabled_ = false; // hWnd was disabled here
};

// The current print row of the printing module: set when n is given;
// returns the current value. PFEED does the same for the line step.
int SETPROW(std::optional<int> n = std::nullopt);
int PFEED(std::optional<int> n = std::nullopt);

// The file name of a recorded page: the work folder, the page number, ".WMF".
std::string pageMetafileName(int nPage);

} // namespace vistoro
