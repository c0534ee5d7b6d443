// The device calls of a print job, each a thin platform call (the printer's
// through printer_calls.h) with the argument and result shapes the job
// relies on. None keeps state; the handles made here come back in owners.
#pragma once

#include "base/handles.h"

#include <array>
#include <optional>
#include <string>

// The platform's old printer-escape codes of these names are not used here.
#undef STARTDOC
#undef ENDDOC
#undef ABORTDOC

namespace vistoro {

// The longest document name handed to the spooler, in characters.
inline constexpr std::size_t kMaxDocumentName = 31;

// Starts a spooler document named after the first 31 characters of
// cDocument, written to cOutput when given. The job number; 0 or less on
// failure.
int STARTDOC(HDC hDC, const std::string &cDocument,
             const std::optional<std::string> &cOutput = std::nullopt);
int ENDDOC(HDC hDC);
// Drops the document unprinted.
int ABORTDOC(HDC hDC);
int STARTPAGE(HDC hDC);
int ENDPAGE(HDC hDC);
int GETDEVICECAPS(HDC hDC, int nIndex);

// A spooler document open on a printer context. Dropped, it is aborted, so
// that no way out leaves a document open; ENDDOC(document.release()) ends
// it as complete.
inline void abortDocument(HDC hDC) noexcept { ABORTDOC(hDC); }
using SpoolerDocument = UniqueHandle<HDC, NullTraits<HDC, abortDocument>>;

// {horizontal, vertical} offset of the printable area from the paper edge.
std::array<int, 2> PRNOFFSET(HDC hDC);

// A Windows metafile (the older format) recorded into the file cFile: the
// recording context, empty when it cannot be made.
UniqueMetafileDC CREATEMETAFILE(const std::string &cFile);
// Ends the recording; the file holds what was recorded.
UniqueMetafile CLOSEMETAFILE(UniqueMetafileDC hDC);
// Frees the metafile's handle; the file stays on disk. True when freed.
bool DELETEMETAFILE(UniqueMetafile hMeta);

} // namespace vistoro
