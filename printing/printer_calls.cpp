#include "printing/printer_calls.h"

#include <utility>

namespace vistoro {
namespace {

PrinterCalls &current() {
    static PrinterCalls calls;
    return calls;
}

} // namespace

const PrinterCalls &printerCalls() { return current(); }

namespace detail {
PrinterCalls setPrinterCalls(PrinterCalls calls) {
    return std::exchange(current(), std::move(calls));
}
} // namespace detail

} // namespace vistoro
