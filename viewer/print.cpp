#include "viewer/print.h"

#include "base/handles.h"
#include "printing/print_job.h"
#include "printing/printer_setup.h"

namespace vistoro {

void PRINT(const std::string &cFile, const ImageSize &aSize, HBITMAP hTurned) {
    const int nOld = PRNGETORIENTATION();
    // The selection is turned before the job exists, so the job's context
    // is made with the page already turned. A square picture prints portrait.
    if (aSize.width <= aSize.height)
        PRNPORTRAIT();
    else
        PRNLANDSCAPE();
    // The orientation comes back on every way out, also when the job fails.
    ScopeExit restore([nOld]() noexcept { nOld == kPortrait ? PRNPORTRAIT() : PRNLANDSCAPE(); });

    TPrinter oPrn({.cDocument = cFile, .lPreview = false, .lNoPrint = false});
    oPrn.StartPage();
    const TPrinterSayImage page{.nRow = 0, .nCol = 0, .cFile = cFile, .nWidth = oPrn.nHorzRes(),
                                .nHeight = oPrn.nVertRes()};
    if (hTurned)
        oPrn.SayBitmapHandle(hTurned, page);
    else
        oPrn.SayImage(page);
    oPrn.EndPage();
    SETPROW(0);
    if (oPrn.lPreview)
        oPrn.Preview();
    else
        oPrn.End();
}

} // namespace vistoro
