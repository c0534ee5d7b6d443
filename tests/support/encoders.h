// The platform's picture encoders, for tests that write pictures.
#pragma once

#include <windows.h>

namespace testsupport {

// The class id of the GDI+ encoder for a MIME type ("image/png", ...).
bool encoderFor(const wchar_t *mime, CLSID &clsid);

} // namespace testsupport
