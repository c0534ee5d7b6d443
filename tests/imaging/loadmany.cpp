// Loads pictures one after another in this process, as a viewer stepping
// through a folder would, and tells its parent through shared memory which
// one it is on: a fault or a stall is thereby pinned on one file.
// Usage: imaging_loadmany MAPPING LISTFILE FIRST END
// The list holds one path a line; entries FIRST to END-1 are loaded. A
// MAPPING of "-" keeps the progress to itself: for rerunning a kept file by
// hand (a list of one, 0 1), whose exit code then tells the outcome.
#include "fuzz_progress.h"

#include "base/text.h"
#include "imaging/byte_stream.h"
#include "imaging/decode.h"
#include "imaging/gdiplus_session.h"
#include "imaging/gif_animation.h"
#include "imaging/jpeg_eighth.h"
#include "imaging/paint.h"
#include "imaging/thumbnail.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Ends the process at once, instead of leaving it to a system debugger
// that may wait for ever; the parent reads which file was being loaded.
LONG WINAPI onFault(EXCEPTION_POINTERS *) {
    TerminateProcess(GetCurrentProcess(), fuzzprogress::kFaultExit);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Plays a moving GIF's frames as the viewer would, up to a bound that
// stops one that loops for ever. Other bytes are refused at once.
void playFrames(const std::string &file) {
    constexpr int kMaxSteps = 2000;
    const auto frames =
        vistoro::GifAnimation::open(vistoro::ByteBlock::fromFile(vistoro::widen(file)));
    for (int i = 0; frames && i < kMaxSteps; ++i)
        if (frames->next() != vistoro::GifAnimation::Step::frame)
            break;
}

// Decodes, measures and paints the picture, as the viewer would, after
// the thumbnail its gallery cell may be drawn from and the frames it may
// play.
char loadOne(const std::string &file) {
    vistoro::DELETEOBJECT(vistoro::loadEmbeddedThumbnail(file).hBitmap);
    if (const auto bytes = vistoro::ByteBlock::fromFile(vistoro::widen(file))) // a cell's eighth
        vistoro::readJpegEighth(bytes->data(), bytes->size()); // refuses what is no JPEG at once
    playFrames(file);
    HBITMAP h = vistoro::LOADIMG(file);
    if (!h)
        return fuzzprogress::kRefused;
    vistoro::HASALPHA(h);
    const int width = vistoro::NBMPWIDTH(h), height = vistoro::NBMPHEIGHT(h);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 64, 64);
    HGDIOBJ old = SelectObject(dc, canvas);
    vistoro::PAINTIMG(dc, h, 0, 0, 64, 64);
    vistoro::PAINTIMG(dc, h, 0, 0, width > 64 ? 0 : width, height > 64 ? 0 : height);
    SelectObject(dc, old);
    DeleteObject(canvas);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    vistoro::DELETEOBJECT(h);
    return fuzzprogress::kDecoded;
}

} // namespace

int main(int argc, char **argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(onFault);
    if (argc != 5)
        return 2;
    static fuzzprogress::Progress own{};
    HANDLE mapping =
        std::string(argv[1]) == "-" ? nullptr : OpenFileMappingA(FILE_MAP_WRITE, FALSE, argv[1]);
    auto *progress = std::string(argv[1]) == "-"
                         ? &own
                         : mapping ? static_cast<fuzzprogress::Progress *>(
                                         MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))
                                   : nullptr;
    if (!progress)
        return 2;
    std::vector<std::string> files;
    std::ifstream list(argv[2]);
    for (std::string line; std::getline(list, line);)
        files.push_back(line);
    const long first = std::atol(argv[3]), end = std::atol(argv[4]);
    if (first < 0 || end > static_cast<long>(files.size()) ||
        end > static_cast<long>(fuzzprogress::kMaxFiles))
        return 2;

    vistoro::GdiplusSession session;
    for (long i = first; i < end; ++i) {
        InterlockedExchange(&progress->current, i);
        progress->outcome[i] = loadOne(files[static_cast<std::size_t>(i)]);
        InterlockedExchange(&progress->done, i + 1);
    }
    return end - first == 1 && progress->outcome[first] == fuzzprogress::kDecoded ? 1 : 0;
}
