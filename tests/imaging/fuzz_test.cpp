// The fuzz gate: a seeded generator makes damaged pictures of all eight
// accepted types from well-formed seeds (bytes flipped, cuts at structure
// boundaries, lengths, offsets, counts, indexes and sizes pointed
// elsewhere, huge declared sizes, contents of another type, splices), and
// children load them one after another as a viewer would. Any fault, and
// any picture that takes longer than the time limit, fails the test; the
// file is kept under fuzz-failures/ for a rerun. The damaged files that
// were found in use are in the corpus too.
#include "fixtures.h"
#include "fuzz_progress.h"

#include "support/gif_writer.h"
#include "support/photos.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

using testsupport::ScratchDir;

namespace {

constexpr int kMutantsPerSeed = 40;
constexpr int kMinimumMutants = 1500;
constexpr auto kTimeLimit = std::chrono::seconds(5);
constexpr int kChildren = 2;

struct Seed {
    std::string type; // the file extension it is saved under
    std::string bytes;
};

// ---- Where the structures are ---------------------------------------------

// A field of a file's structure: a length, offset, count, index or size.
struct Field {
    std::size_t at;
    int width; // 1, 2 or 4 bytes
    bool bigEndian = false;
};

std::uint32_t read(const std::string &b, std::size_t at, int width, bool big) {
    std::uint32_t v = 0;
    for (int k = 0; k < width; ++k) {
        const auto byte = static_cast<unsigned char>(b[at + static_cast<std::size_t>(k)]);
        v |= big ? static_cast<std::uint32_t>(byte) << (8 * (width - 1 - k))
                 : static_cast<std::uint32_t>(byte) << (8 * k);
    }
    return v;
}

void write(std::string &b, const Field &f, std::uint32_t v) {
    for (int k = 0; k < f.width && f.at + static_cast<std::size_t>(k) < b.size(); ++k) {
        const int shift = f.bigEndian ? 8 * (f.width - 1 - k) : 8 * k;
        b[f.at + static_cast<std::size_t>(k)] = static_cast<char>((v >> shift) & 0xFF);
    }
}

// The fields and the boundaries between structures of a well-formed seed.
void mapStructure(const std::string &type, const std::string &b, std::vector<Field> &fields,
                  std::vector<std::size_t> &cuts) {
    auto field = [&](std::size_t at, int width, bool big = false) {
        if (at + static_cast<std::size_t>(width) <= b.size())
            fields.push_back({at, width, big});
    };
    if (type == "png") {
        for (std::size_t at = 8; at + 12 <= b.size();) {
            cuts.push_back(at);
            field(at, 4, true);
            if (b.compare(at + 4, 4, "IHDR") == 0) {
                field(at + 8, 4, true);
                field(at + 12, 4, true);
            }
            at += 12 + read(b, at, 4, true);
        }
    } else if (type == "jpg") {
        for (std::size_t at = 2; at + 4 <= b.size();) {
            if (static_cast<unsigned char>(b[at]) != 0xFF)
                break;
            cuts.push_back(at);
            const auto marker = static_cast<unsigned char>(b[at + 1]);
            field(at + 2, 2, true);
            if (marker >= 0xC0 && marker <= 0xC2) {
                field(at + 5, 2, true);
                field(at + 7, 2, true);
                field(at + 9, 1);
            }
            if (marker == 0xDA)
                break;
            at += 2 + read(b, at + 2, 2, true);
        }
    } else if (type == "gif") {
        field(6, 2);
        field(8, 2);
        field(10, 1);
        for (std::size_t at = 13; at < b.size(); ++at)
            if (b[at] == ',' && at + 10 <= b.size()) {
                cuts.push_back(at);
                for (std::size_t k = 1; k <= 7; k += 2)
                    field(at + k, 2);
            }
        // Graphic control extensions (disposal and delay) and the loop count.
        for (std::size_t at = 13; at + 8 <= b.size(); ++at)
            if (b.compare(at, 3, "\x21\xF9\x04") == 0) {
                cuts.push_back(at);
                field(at + 3, 1);
                field(at + 4, 2);
            }
        if (const std::size_t loop = b.find("NETSCAPE2.0"); loop != std::string::npos)
            field(loop + 13, 2);
    } else if (type == "bmp") {
        for (std::size_t at : {2, 10, 14, 18, 22, 30, 34, 46})
            field(at, 4);
        field(26, 2);
        field(28, 2);
        // Bit-field masks, inside the larger headers or behind the 40-byte one.
        if (b.size() >= 34 && (read(b, 30, 4, false) == 3 || read(b, 30, 4, false) == 6))
            for (std::size_t at : {54, 58, 62, 66})
                field(at, 4);
        for (std::size_t at : {14, 54, 58})
            cuts.push_back(at);
    } else if (type == "tif" && b.size() >= 8) {
        const bool big = b[0] == 'M';
        field(4, 4, big);
        for (std::size_t ifd = read(b, 4, 4, big), hops = 0; ifd && ifd + 2 <= b.size() && hops < 4;
             ++hops) {
            cuts.push_back(ifd);
            field(ifd, 2, big);
            const std::size_t entries = read(b, ifd, 2, big);
            for (std::size_t e = 0; e < entries && ifd + 2 + e * 12 + 12 <= b.size(); ++e) {
                const std::size_t at = ifd + 2 + e * 12;
                field(at + 2, 2, big);
                field(at + 4, 4, big);
                field(at + 8, 4, big);
            }
            const std::size_t next = ifd + 2 + entries * 12;
            if (next + 4 > b.size())
                break;
            field(next, 4, big);
            ifd = read(b, next, 4, big);
        }
    } else if (type == "ico") {
        field(4, 2);
        for (std::size_t e = 0; e < read(b, 4, 2, false) && 6 + e * 16 + 16 <= b.size(); ++e) {
            const std::size_t at = 6 + e * 16;
            field(at, 1);
            field(at + 1, 1);
            field(at + 8, 4);
            field(at + 12, 4);
            cuts.push_back(read(b, at + 12, 4, false));
        }
    } else if (type == "emf") {
        for (std::size_t at = 0; at + 8 <= b.size();) {
            cuts.push_back(at);
            const std::uint32_t bytes = read(b, at + 4, 4, false);
            for (std::size_t k = 4; k < bytes && at + k + 4 <= b.size(); k += 4)
                field(at + k, 4);
            if (bytes < 8)
                break;
            at += bytes;
        }
    } else if (type == "wmf") {
        const std::size_t base = read(b, 0, 4, false) == 0x9AC6CDD7 ? 22 : 0;
        field(base + 6, 4);
        field(base + 10, 2);
        for (std::size_t at = base + 18; at + 6 <= b.size();) {
            cuts.push_back(at);
            const std::uint32_t words = read(b, at, 4, false);
            field(at, 4);
            for (std::size_t k = 6; k < words * 2 && at + k + 2 <= b.size(); k += 2)
                field(at + k, 2);
            if (words < 3)
                break;
            at += words * 2;
        }
    }
}

// ---- The mutations ----------------------------------------------------------

class Mutator {
  public:
    Mutator(const std::vector<Seed> &seeds, unsigned seed) : seeds_(seeds), rng_(seed) {}

    std::string mutate(const Seed &s) {
        std::string b = s.bytes;
        std::vector<Field> fields;
        std::vector<std::size_t> cuts;
        mapStructure(s.type, b, fields, cuts);
        switch (pick(9)) {
        case 0: // bits flipped
            for (std::size_t i = 0, n = 1 + pick(8); i < n; ++i)
                b[where(b)] ^= static_cast<char>(1 << pick(8));
            break;
        case 1: { // boundary bytes
            static const char values[] = {'\x00', '\xFF', '\x7F', '\x80', '\x01', '\xFE'};
            for (std::size_t i = 0, n = 1 + pick(4); i < n; ++i)
                b[where(b)] = values[pick(sizeof values)];
            break;
        }
        case 2: // cut at a structure boundary, or near one
            if (!cuts.empty()) {
                const std::size_t at = cuts[pick(cuts.size())] + pick(12);
                b.resize(std::clamp<std::size_t>(at, 1, b.size()));
            } else {
                b.resize(1 + pick(b.size()));
            }
            break;
        case 3: // one field pointed elsewhere
        case 4:
            if (!fields.empty()) {
                pointElsewhere(b, fields[pick(fields.size())]);
                break;
            }
            [[fallthrough]];
        case 5: // several fields at once
            for (std::size_t i = 0, n = 2 + pick(3); i < n && !fields.empty(); ++i)
                pointElsewhere(b, fields[pick(fields.size())]);
            break;
        case 6: { // spliced with another picture
            const Seed &other = seeds_[pick(seeds_.size())];
            b = b.substr(0, 1 + pick(b.size())) + other.bytes.substr(pick(other.bytes.size()));
            break;
        }
        case 7: // another type's contents under this name
            b = seeds_[pick(seeds_.size())].bytes;
            if (pick(2))
                b[where(b)] ^= static_cast<char>(1 << pick(8));
            break;
        default: { // a run repeated or taken out
            const std::size_t from = pick(b.size()), len = 1 + pick(64);
            if (pick(2))
                b.insert(where(b), b.substr(from, len));
            else
                b.erase(from, len);
            if (b.empty())
                b = "x";
            break;
        }
        }
        return b;
    }

  private:
    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }
    // Most parsers fail in headers: half the changes land in the first KiB.
    std::size_t where(const std::string &b) {
        return pick(std::min<std::size_t>(b.size(), pick(2) ? 1024 : b.size()));
    }
    void pointElsewhere(std::string &b, const Field &f) {
        const std::uint32_t old = read(b, f.at, f.width, f.bigEndian);
        const auto size = static_cast<std::uint32_t>(b.size());
        const std::uint32_t choices[] = {0,          1,           old + 1,     old - 1,
                                         old * 2,    size,        size + 1,    size - 1,
                                         0xFFFF,     0x8000,      0x7FFFFFFF,  0x80000000,
                                         0xFFFFFFFF, 0x40000000,  old ^ 0x80, static_cast<std::uint32_t>(rng_())};
        write(b, f, choices[pick(std::size(choices))]);
    }

    const std::vector<Seed> &seeds_;
    std::mt19937 rng_;
};

// ---- The seeds --------------------------------------------------------------

std::string typeOf(const std::string &name) {
    std::string ext = testsupport::lower(name.substr(name.rfind('.') + 1));
    if (ext == "jpeg")
        return "jpg";
    if (ext == "tiff")
        return "tif";
    return ext;
}

// A metafile that uses objects, text, poly-polygons and bitmaps, recorded
// through the platform's own recorder, so its records are real ones.
void drawRich(HDC dc) {
    HPEN pen = CreatePen(PS_DASH, 1, RGB(10, 20, 30));
    HBRUSH brush = CreateHatchBrush(HS_CROSS, RGB(200, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
    POINT pts[] = {{1, 1}, {30, 2}, {20, 20}, {5, 25}, {40, 5}, {45, 25}, {35, 28}};
    INT counts[] = {4, 3};
    PolyPolygon(dc, pts, counts, 2);
    Polyline(dc, pts, 4);
    TextOutA(dc, 2, 2, "Vistoro", 7);
    HRGN rgn = CreateRectRgn(3, 3, 12, 12);
    FillRgn(dc, rgn, brush);
    DeleteObject(rgn);
    std::uint32_t bits[4 * 3];
    for (std::size_t i = 0; i < std::size(bits); ++i)
        bits[i] = 0x00102030u * static_cast<std::uint32_t>(i + 1);
    BITMAPINFO info{};
    // The size of the bits is given: some recorders store only that many.
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 3, 1, 32, BI_RGB, sizeof bits, 0, 0, 0, 0};
    StretchDIBits(dc, 20, 10, 8, 6, 0, 0, 4, 3, bits, &info, DIB_RGB_COLORS, SRCCOPY);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

std::string richEmf() {
    RECT frame{0, 0, 1200, 800};
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    drawRich(dc);
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    std::string bytes(GetEnhMetaFileBits(emf, 0, nullptr), '\0');
    GetEnhMetaFileBits(emf, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE *>(bytes.data()));
    DeleteEnhMetaFile(emf);
    return bytes;
}

std::string richWmf() {
    HDC dc = CreateMetaFileW(nullptr);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 48, 32, nullptr);
    drawRich(dc);
    HMETAFILE wmf = CloseMetaFile(dc);
    std::string bytes(GetMetaFileBitsEx(wmf, 0, nullptr), '\0');
    GetMetaFileBitsEx(wmf, static_cast<UINT>(bytes.size()), bytes.data());
    DeleteMetaFile(wmf);
    return bytes;
}

// Moving GIFs: delays, every disposal, transparency, local tables,
// interlaced frames, frames partly past the screen, and loop counts.
std::vector<std::string> movingGifs() {
    using testsupport::GifTestFrame;
    const auto square = [](int left, int top, int side, int disposal, int delay) {
        GifTestFrame f;
        f.left = left;
        f.top = top;
        f.width = f.height = side;
        for (int i = 0; i < side * side; ++i)
            f.indexes.push_back(static_cast<std::uint8_t>(i * 7 % 5));
        f.disposal = disposal;
        f.delay = delay;
        return f;
    };
    const std::vector<std::uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x202020};
    GifTestFrame lace = square(0, 0, 12, 1, 0);
    lace.interlaced = true;
    GifTestFrame hole = square(4, 2, 6, 2, 1);
    hole.transparent = 3;
    GifTestFrame local = square(6, 5, 8, 3, 25);
    local.palette = {0x123456, 0xABCDEF, 0x00FF80, 0xFF0080, 0x808000};
    GifTestFrame corner = square(10, 8, 4, 0, 7);
    corner.interlaced = true;
    return {testsupport::animatedGif(12, 10, {lace, hole, local, corner}, 0, colours),
            testsupport::animatedGif(12, 10, {square(0, 0, 10, 3, 2), local, hole}, 3, colours),
            testsupport::animatedGif(12, 10, {hole, corner, lace}, std::nullopt, colours)};
}

std::vector<Seed> seeds() {
    std::vector<Seed> out;
    WIN32_FIND_DATAA fd;
    for (const std::string &dir : {imgtest::fixturesDir(), testsupport::samplesDir()}) {
        HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE)
            continue;
        do {
            const std::string type = typeOf(fd.cFileName);
            // The samples hold one deliberately broken picture: not a seed.
            const bool broken = std::string(fd.cFileName).find("broken") != std::string::npos;
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.nFileSizeLow < 60000 && !broken &&
                std::string("bmp emf gif ico jpg png tif wmf").find(type) != std::string::npos &&
                type.size() == 3)
                out.push_back({type, testsupport::readFile(dir + "\\" + fd.cFileName)});
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    out.push_back({"bmp", imgtest::bmp32Bytes(8, 6, imgtest::Pixels(48, 0x80402010))});
    // Pixels laid out by masks, in a small header and in a large one with
    // alpha, plain pixels behind a header with room for masks, and a GIF
    // with no colour table at all: all are rewritten before the decoder
    // sees them.
    std::vector<std::uint32_t> values(48);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::uint32_t>(i * 0x05030201u);
    out.push_back({"bmp", imgtest::bitFieldBmp(8, 6, 16, 40, BI_BITFIELDS,
                                               {0x7C00, 0x03E0, 0x001F, 0}, values)});
    out.push_back(
        {"bmp", imgtest::bitFieldBmp(8, -6, 32, 56, BI_BITFIELDS,
                                     {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}, values)});
    out.push_back({"bmp", imgtest::bitFieldBmp(8, 6, 32, 52, BI_RGB, {0, 0, 0, 0}, values)});
    out.push_back({"gif", imgtest::gifWithoutColourTable()});
    for (const std::string &gif : movingGifs())
        out.push_back({"gif", gif});
    out.push_back({"emf", imgtest::emfBytes(40, 30)});
    out.push_back({"emf", richEmf()});
    out.push_back({"wmf", imgtest::wmfBytes(40, 30)});
    out.push_back({"wmf", imgtest::placeable(imgtest::wmfBytes(40, 30), 40, 30)});
    out.push_back({"wmf", richWmf()});
    out.push_back({"wmf", imgtest::placeable(richWmf(), 48, 32)});
    // Photos with an EXIF block, so that its reader is fuzzed like the
    // decoders: both byte orders, the orientation deep in a long directory,
    // a thumbnail behind it, and a TIFF that carries the tag.
    const std::string photo = testsupport::readFile(imgtest::fixture("photo.jpg"));
    const std::string thumbnail = testsupport::readFile(imgtest::fixture("form-restart.jpg"));
    out.push_back({"jpg", testsupport::withExif(photo, {6, false, 0, thumbnail})});
    out.push_back({"jpg", testsupport::withExif(photo, {8, true, 60})});
    out.push_back({"jpg", testsupport::withExif(photo, {5, true, 3, thumbnail})});
    // A thumbnail of the photo's own proportions, which a gallery cell is
    // drawn from: the photo itself.
    out.push_back({"jpg", testsupport::withExif(photo, {6, false, 2, photo})});
    // The walk to the photo's picture data that the gallery makes before it
    // takes a thumbnail: past a run of fill bytes longer than the head it
    // reads at first, over markers that carry no segment, and with the EXIF
    // block pushed so far in that its thumbnail runs past that head.
    const std::string own = testsupport::withExif(photo, {1, false, 0, photo});
    const std::size_t afterExif = 4 + (static_cast<unsigned char>(own[4]) << 8 |
                                       static_cast<unsigned char>(own[5]));
    std::string padded = own;
    padded.insert(afterExif, std::string(100000, '\xFF'));
    out.push_back({"jpg", padded});
    std::string bare = own;
    bare.insert(afterExif, std::string("\xFF\xD0\xFF\x01\xFF\xFF\xFF\xD7", 8));
    out.push_back({"jpg", bare});
    std::string pushed = own;
    pushed.insert(2, std::string("\xFF\xE2\xEA\x62", 4) + std::string(60000, 'x'));
    out.push_back({"jpg", pushed});
    out.push_back({"tif", testsupport::rgbTiff(testsupport::quarters(12, 8), 7, true)});
    return out;
}

// A photo whose EXIF segment is cut in the middle, the rest of the file
// gone with it.
std::string cutExifPhoto() {
    const std::string photo = testsupport::withExif(
        testsupport::readFile(imgtest::fixture("photo.jpg")), {6, false, 30});
    return photo.substr(0, 2 + 4 + 6 + 8 + 2 + 15 * 12 + 5);
}

// ---- Loading in children ----------------------------------------------------

struct Outcomes {
    std::vector<char> of;
    std::vector<std::string> failures;
};

// Loads entries [first, end) of the list in children, starting a new one
// after each fault or stall; the outcome of every entry is filled in.
class Loader {
  public:
    Loader(const std::string &list, long first, long end, int number)
        : list_(list), next_(first), end_(end) {
        name_ = "vistoro-fuzz-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(number);
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(fuzzprogress::Progress), name_.c_str());
        progress_ = static_cast<fuzzprogress::Progress *>(
            MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
    }
    ~Loader() {
        if (child_.hProcess) {
            TerminateProcess(child_.hProcess, 99);
            WaitForSingleObject(child_.hProcess, INFINITE);
            CloseHandle(child_.hProcess);
            CloseHandle(child_.hThread);
        }
        if (progress_)
            UnmapViewOfFile(progress_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    bool ready() const { return progress_ != nullptr; }
    bool finished() const { return next_ >= end_ && !child_.hProcess; }

    // One look at the child: starts one when needed, and settles what a
    // stopped or stalled child leaves.
    void poll(const std::string &loader) {
        if (!child_.hProcess) {
            if (next_ >= end_)
                return;
            start(loader);
            return;
        }
        const LONG current = progress_->current, done = progress_->done;
        const auto now = std::chrono::steady_clock::now();
        if (current != seenCurrent_ || done != seenDone_) {
            seenCurrent_ = current;
            seenDone_ = done;
            since_ = now;
        }
        const bool ended = WaitForSingleObject(child_.hProcess, 0) == WAIT_OBJECT_0;
        if (ended) {
            DWORD code = 0;
            GetExitCodeProcess(child_.hProcess, &code);
            settle(progress_->done, code == 0 ? fuzzprogress::kNotRun : fuzzprogress::kCrashed);
            return;
        }
        // A child that has finished nothing yet is still starting up too.
        const auto limit = done == startedAt_ ? kTimeLimit * 4 : kTimeLimit;
        if (now - since_ > limit) {
            TerminateProcess(child_.hProcess, 99);
            WaitForSingleObject(child_.hProcess, INFINITE);
            settle(progress_->done, fuzzprogress::kHung);
        }
    }
    char outcome(long i) const { return progress_->outcome[i]; }

  private:
    void start(const std::string &loader) {
        progress_->current = next_;
        progress_->done = next_;
        startedAt_ = seenCurrent_ = seenDone_ = next_;
        since_ = std::chrono::steady_clock::now();
        std::string command = "\"" + loader + "\" " + name_ + " \"" + list_ + "\" " +
                              std::to_string(next_) + " " + std::to_string(end_);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &child_)) {
            ADD_FAILURE() << "cannot start " << command;
            next_ = end_;
            child_ = {};
        }
    }
    // The child stopped with `done` entries finished: the entry it was on,
    // if any, gets `failed`; the next child goes on after it.
    void settle(LONG done, char failed) {
        CloseHandle(child_.hProcess);
        CloseHandle(child_.hThread);
        child_ = {};
        if (done < end_ && failed != fuzzprogress::kNotRun) {
            progress_->outcome[done] = failed;
            next_ = done + 1;
        } else {
            next_ = std::max<long>(done, end_);
        }
    }

    std::string list_, name_;
    long next_, end_;
    HANDLE mapping_ = nullptr;
    fuzzprogress::Progress *progress_ = nullptr;
    PROCESS_INFORMATION child_{};
    LONG seenCurrent_ = -1, seenDone_ = -1, startedAt_ = -1;
    std::chrono::steady_clock::time_point since_;
};

// Loads every file; returns each one's outcome.
std::vector<char> loadAll(const std::vector<std::string> &files, const ScratchDir &dir) {
    const std::string listFile = dir.file("list.txt");
    {
        std::ofstream list(listFile);
        for (const auto &f : files)
            list << f << "\n";
    }
    const std::string loader = testsupport::hostPath(IMAGING_LOADMANY);
    const auto total = static_cast<long>(files.size());
    std::vector<std::unique_ptr<Loader>> children;
    for (int c = 0; c < kChildren; ++c)
        children.push_back(std::make_unique<Loader>(listFile, total * c / kChildren,
                                                    total * (c + 1) / kChildren, c));
    for (const auto &c : children)
        if (!c->ready())
            return {};
    while (!std::all_of(children.begin(), children.end(), [](auto &c) { return c->finished(); })) {
        for (auto &c : children)
            c->poll(loader);
        Sleep(10);
    }
    std::vector<char> outcomes;
    for (int c = 0; c < kChildren; ++c)
        for (long i = total * c / kChildren; i < total * (c + 1) / kChildren; ++i)
            outcomes.push_back(children[static_cast<std::size_t>(c)]->outcome(i));
    return outcomes;
}

} // namespace

TEST(FuzzGate, NoDamagedPictureCrashesOrStallsTheLoader) {
    ScratchDir dir("fuzz");
    const std::vector<Seed> pool = seeds();
    ASSERT_GE(pool.size(), 30u);
    for (const char *type : {"bmp", "emf", "gif", "ico", "jpg", "png", "tif", "wmf"})
        ASSERT_TRUE(std::any_of(pool.begin(), pool.end(), [&](const Seed &s) { return s.type == type; }))
            << "no seed of type " << type;

    std::vector<std::string> files;
    // The damaged files found in use come first.
    const std::string hostile = testsupport::hostPath(IMAGING_HOSTILE);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((hostile + "\\*").c_str(), &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int hostileFiles = 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files.push_back(hostile + "\\" + fd.cFileName);
            ++hostileFiles;
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    ASSERT_GE(hostileFiles, 10);
    files.push_back(dir.file("cut-exif.jpg"));
    testsupport::writeFile(files.back(), cutExifPhoto());

    // The generator is seeded: every run makes the same corpus. Another
    // seed, for exploring by hand, comes from VISTORO_FUZZ_SEED.
    unsigned seed = 20261208;
    if (const char *other = std::getenv("VISTORO_FUZZ_SEED"))
        seed = static_cast<unsigned>(std::strtoul(other, nullptr, 10));
    Mutator mutator(pool, seed);
    int made = 0;
    for (std::size_t s = 0; s < pool.size(); ++s)
        for (int k = 0; k < kMutantsPerSeed; ++k) {
            const std::string name = dir.file(std::to_string(made++) + "." + pool[s].type);
            testsupport::writeFile(name, mutator.mutate(pool[s]));
            files.push_back(name);
        }
    ASSERT_GE(made, kMinimumMutants);
    ASSERT_LE(files.size(), static_cast<std::size_t>(fuzzprogress::kMaxFiles));

    // Every well-formed seed opens: the checks refuse no real picture.
    std::vector<std::string> seedFiles;
    for (std::size_t s = 0; s < pool.size(); ++s) {
        seedFiles.push_back(dir.file("seed" + std::to_string(s) + "." + pool[s].type));
        testsupport::writeFile(seedFiles.back(), pool[s].bytes);
    }
    const std::vector<char> seedOutcomes = loadAll(seedFiles, dir);
    ASSERT_EQ(seedOutcomes.size(), seedFiles.size());
    const std::string keep = testsupport::hostPath(VISTORO_TEST_BIN_DIR) + "\\fuzz-failures";
    for (std::size_t s = 0; s < seedFiles.size(); ++s)
        if (seedOutcomes[s] != fuzzprogress::kDecoded) {
            CreateDirectoryA(keep.c_str(), nullptr);
            const std::string kept = keep + seedFiles[s].substr(seedFiles[s].find_last_of('\\'));
            CopyFileA(seedFiles[s].c_str(), kept.c_str(), FALSE);
            ADD_FAILURE() << "a well-formed " << pool[s].type << " seed does not open: " << kept;
        }

    const std::vector<char> outcomes = loadAll(files, dir);
    ASSERT_EQ(outcomes.size(), files.size());
    int decoded = 0, refused = 0, crashed = 0, hung = 0;
    std::map<std::string, std::map<char, int>> byType; // type -> outcome -> count
    for (std::size_t i = 0; i < files.size(); ++i) {
        ++byType[typeOf(files[i])][outcomes[i]];
        switch (outcomes[i]) {
        case fuzzprogress::kDecoded:
            ++decoded;
            continue;
        case fuzzprogress::kRefused:
            ++refused;
            continue;
        case fuzzprogress::kHung:
            ++hung;
            break;
        default:
            ++crashed;
            break;
        }
        CreateDirectoryA(keep.c_str(), nullptr);
        const std::string kept = keep + files[i].substr(files[i].find_last_of('\\'));
        CopyFileA(files[i].c_str(), kept.c_str(), FALSE);
        ADD_FAILURE() << (outcomes[i] == fuzzprogress::kHung ? "stalled: " : "crashed: ") << kept;
    }
    std::printf("fuzz gate (seed %u): %zu files (%d found in use, %d generated): %d decoded, %d refused, "
                "%d crashed, %d stalled\n",
                seed, files.size(), hostileFiles, made, decoded, refused, crashed, hung);
    for (const auto &[type, counts] : byType) {
        const auto count = [&counts](char outcome) {
            const auto it = counts.find(outcome);
            return it == counts.end() ? 0 : it->second;
        };
        std::printf("  %s: %d decoded, %d refused, %d crashed, %d stalled\n", type.c_str(),
                    count(fuzzprogress::kDecoded), count(fuzzprogress::kRefused),
                    count(fuzzprogress::kCrashed), count(fuzzprogress::kHung));
    }
    EXPECT_GT(decoded, 0); // the mutants are not all refused at the first byte
    EXPECT_GT(refused, 0);
}
