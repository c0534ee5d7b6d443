/* Control identifiers of the print progress dialog PRINTDLG; read by the
   resource compiler and by the print job. */
#pragma once

#define IDC_PRINT_PICTURE 101 /* the dialog's picture, bitmap PRINT */
#define IDC_PRINT_PAGE 102    /* number of the page being printed */
#define IDC_PRINT_CANCEL 201  /* "&Annulla" */
