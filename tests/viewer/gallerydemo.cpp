// Opens the gallery of the file given on the command line, inside the
// program's own start-up and shut-down, for gallery_e2e to drive.
//   gallerydemo <file>
#include "errors/handler.h"
#include "imaging/gdiplus_session.h"
#include "util/libinit.h"
#include "viewer/decoder.h"
#include "viewer/gallery.h"

#include <string>

int main(int argc, char **argv) {
    using namespace vistoro;
    if (argc < 2)
        return 2;
    const std::string file = argv[1];
    ERRORSYS();
    recoveryPoint([&file] {
        LIBSTARTUP();
        ShutdownRoutine library(LIBSHUTDOWN);
        GDIPLUSSTART();
        ShutdownRoutine gdiplus(GDIPLUSEND);
        ShutdownRoutine decoding(endBackgroundDecoder);
        GALLERY(file);
    });
    return 0;
}
