// The platform calls through which a print job reaches the printer, gathered
// in one place so that tests can stand in for a printer and make any of
// them fail. Each defaults to the real call.
#pragma once

#include <windows.h>

#include <functional>

namespace vistoro {

struct PrinterCalls {
    std::function<HDC(const wchar_t *driver, const wchar_t *device, const wchar_t *port,
                      const DEVMODEW *mode)>
        createDC = [](const wchar_t *driver, const wchar_t *device, const wchar_t *port,
                      const DEVMODEW *mode) { return ::CreateDCW(driver, device, port, mode); };
    std::function<int(HDC, const DOCINFOW &)> startDoc = [](HDC dc, const DOCINFOW &di) {
        return ::StartDocW(dc, &di);
    };
    std::function<int(HDC)> startPage = [](HDC dc) { return ::StartPage(dc); };
    std::function<int(HDC)> endPage = [](HDC dc) { return ::EndPage(dc); };
    std::function<int(HDC)> endDoc = [](HDC dc) { return ::EndDoc(dc); };
    std::function<int(HDC)> abortDoc = [](HDC dc) { return ::AbortDoc(dc); };
};

// The calls in use.
const PrinterCalls &printerCalls();

namespace detail {
// Puts other calls in place, for tests; returns the ones they replace.
// PrinterCalls{} is the real set.
PrinterCalls setPrinterCalls(PrinterCalls calls);
} // namespace detail

} // namespace vistoro
