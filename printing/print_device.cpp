#include "printing/print_device.h"

#include "base/text.h"
#include "printing/printer_calls.h"

#include <vector>

namespace vistoro {

int STARTDOC(HDC hDC, const std::string &cDocument, const std::optional<std::string> &cOutput) {
    // Cut by characters, so that a multi-byte name is never split.
    const std::wstring name = widen(leftChars(cDocument, kMaxDocumentName));
    const std::wstring output = cOutput ? widen(*cOutput) : std::wstring();
    DOCINFOW di{};
    di.cbSize = sizeof di;
    di.lpszDocName = name.c_str();
    di.lpszOutput = cOutput ? output.c_str() : nullptr;
    return printerCalls().startDoc(hDC, di);
}

int ENDDOC(HDC hDC) { return printerCalls().endDoc(hDC); }

int ABORTDOC(HDC hDC) { return printerCalls().abortDoc(hDC); }

int STARTPAGE(HDC hDC) { return printerCalls().startPage(hDC); }

int ENDPAGE(HDC hDC) { return printerCalls().endPage(hDC); }

int GETDEVICECAPS(HDC hDC, int nIndex) { return ::GetDeviceCaps(hDC, nIndex); }

std::array<int, 2> PRNOFFSET(HDC hDC) {
    return {::GetDeviceCaps(hDC, PHYSICALOFFSETX), ::GetDeviceCaps(hDC, PHYSICALOFFSETY)};
}

UniqueMetafileDC CREATEMETAFILE(const std::string &cFile) {
    return UniqueMetafileDC(::CreateMetaFileW(widen(cFile).c_str()));
}

UniqueMetafile CLOSEMETAFILE(UniqueMetafileDC hDC) {
    return UniqueMetafile(hDC ? ::CloseMetaFile(hDC.release()) : nullptr);
}

bool DELETEMETAFILE(UniqueMetafile hMeta) {
    return hMeta && ::DeleteMetaFile(hMeta.release()) != FALSE;
}

} // namespace vistoro
