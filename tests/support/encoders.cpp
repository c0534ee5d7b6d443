#include "support/encoders.h"

#include <objidl.h>

#include <gdiplus.h>

#include <cwchar>
#include <vector>

namespace testsupport {

bool encoderFor(const wchar_t *mime, CLSID &clsid) {
    namespace gp = Gdiplus::DllExports;
    UINT count = 0, bytes = 0;
    if (gp::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::vector<BYTE> buffer(bytes);
    auto *codecs = reinterpret_cast<Gdiplus::ImageCodecInfo *>(buffer.data());
    if (gp::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
        if (std::wcscmp(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

} // namespace testsupport
