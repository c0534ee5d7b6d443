// The platform calls through which a print job reaches the printer, gathered
// in one place so that tests can stand in for a printer and make any of
// them fail. Each defaults to the real call.
#pragma once

#include <windows.h>

#include <functional>

namespace vistoro {

struct PrinterCalls {
    std::function<HDC(const char *driver, const char *device, const char *port,
                      const DEVMODEA *mode)>
        createDC = [](const char *driver, const char *device, const char *port,
                      const DEVMODEA *mode) { return ::CreateDCA(driver, device, port, mode); };
    std::function<int(HDC, const DOCINFOA &)> startDoc = [](HDC dc, const DOCINFOA &di) {
        return ::StartDocA(dc, &di);
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
