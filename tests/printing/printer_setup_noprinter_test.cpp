// The printer selection of a machine without printers: the default query
// fills nothing, and every call answers without effect.
#include "printing/printer_setup.h"

#include <gtest/gtest.h>

using namespace vistoro;

namespace {

int queries = 0;

// What the platform answers when no printer is installed.
BOOL WINAPI noDefaultPrinter(LPPRINTDLGW pd) {
    ++queries;
    EXPECT_EQ(pd->lStructSize, sizeof(PRINTDLGW));
    EXPECT_EQ(pd->Flags, DWORD{PD_RETURNDEFAULT});
    EXPECT_EQ(pd->nMaxPage, 0xFFFF);
    EXPECT_EQ(pd->nCopies, 1);
    return FALSE;
}

} // namespace

TEST(NoPrinter, EveryCallAnswersWithoutEffect) {
    detail::setPrintDialogCall(noDefaultPrinter);
    EXPECT_EQ(PRNGETORIENTATION(), 0);
    EXPECT_FALSE(PRNLANDSCAPE());
    EXPECT_FALSE(PRNPORTRAIT());
    EXPECT_EQ(PRNGETORIENTATION(), 0);
    EXPECT_FALSE(GETPRINTDEFAULT());
    EXPECT_EQ(PRNGETNAME(), "");
    EXPECT_EQ(queries, 1); // the default is asked for once per run
    detail::setPrintDialogCall(nullptr);
}
