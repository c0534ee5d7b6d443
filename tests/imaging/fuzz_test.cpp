// A bounded fuzz run: byte-level mutations of sample pictures, each decoded
// in a child process of its own with a hang guard. Every child must end with
// a handle or a refusal. A hang, or a fault in our own code, fails the test;
// a fault inside the platform's decoder libraries is reported with the file
// (kept under fuzz-failures/), since no code of ours can mend it.
#include "fixtures.h"

#include "imaging/gdiplus_session.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>

using testsupport::ScratchDir;

namespace {

constexpr int kMutations = 320;
constexpr int kParallel = 4;
constexpr DWORD kHangGuardMs = 30000; // a bound against hangs, not a speed test

std::vector<std::pair<std::string, std::string>> seedPictures(const ScratchDir &dir) {
    std::vector<std::pair<std::string, std::string>> seeds;
    for (const char *name : {"photo.jpg", "photo.png", "photo.gif", "exact.ico", "deep16.tif"})
        seeds.push_back({name, testsupport::readFile(imgtest::fixture(name))});
    {
        vistoro::GdiplusSession session;
        imgtest::Pixels px(32 * 24, 0xFF2080C0);
        for (int i = 0; i < 32 * 24; i += 7)
            px[static_cast<std::size_t>(i)] = 0x80FF4000;
        if (imgtest::saveEncoded(dir.file("seed.tif"), L"image/tiff", 32, 24, px))
            seeds.push_back({"seed.tif", testsupport::readFile(dir.file("seed.tif"))});
    }
    seeds.push_back({"seed.bmp", imgtest::bmp32Bytes(8, 6, imgtest::Pixels(48, 0x80402010))});
    seeds.push_back({"seed.emf", imgtest::emfBytes(40, 30)});
    seeds.push_back({"seed.wmf", imgtest::wmfBytes(40, 30)});
    // The bundled samples, when they are there.
    const std::string samples = testsupport::samplesDir();
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((samples + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.nFileSizeLow < 400000)
                seeds.push_back({fd.cFileName, testsupport::readFile(samples + "\\" + fd.cFileName)});
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    return seeds;
}

std::string mutate(std::string bytes, std::mt19937 &rng) {
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    // Parsers fail mostly in headers: most changes land in the first KiB.
    auto where = [&] { return pick(std::min<std::size_t>(bytes.size(), pick(2) ? 1024 : bytes.size())); };
    switch (pick(5)) {
    case 0: // flip bits
        for (std::size_t i = 0, n = 1 + pick(8); i < n; ++i)
            bytes[where()] ^= static_cast<char>(1 << pick(8));
        break;
    case 1: { // boundary values
        static const char values[] = {'\x00', '\xFF', '\x7F', '\x80', '\x01', '\xFE'};
        for (std::size_t i = 0, n = 1 + pick(4); i < n; ++i)
            bytes[where()] = values[pick(sizeof values)];
        break;
    }
    case 2: // cut short
        bytes.resize(1 + pick(bytes.size()));
        break;
    case 3: { // a large number over four bytes
        const std::size_t at = where();
        for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
            bytes[at + k] = pick(2) ? '\xFF' : '\x7F';
        break;
    }
    default: { // a run repeated elsewhere
        const std::size_t from = pick(bytes.size()), len = 1 + pick(64);
        bytes.insert(where(), bytes.substr(from, len));
        break;
    }
    }
    return bytes;
}

struct Child {
    PROCESS_INFORMATION info{};
    std::string file;
};

} // namespace

TEST(Fuzz, MutatedPicturesEndInAHandleOrARefusal) {
    ScratchDir dir("fuzz");
    const auto seeds = seedPictures(dir);
    ASSERT_GE(seeds.size(), 9u);
    const std::string loader = testsupport::hostPath(IMAGING_LOADONE);
    const std::string keep = testsupport::hostPath(VISTORO_TEST_BIN_DIR) + "\\fuzz-failures";

    std::mt19937 rng(20240601);
    std::vector<std::string> failures, platformFaults;
    int decoded = 0, refused = 0;
    std::vector<Child> running;
    auto finish = [&](Child &c) {
        DWORD exitCode = 0;
        const bool hung = WaitForSingleObject(c.info.hProcess, kHangGuardMs) == WAIT_TIMEOUT;
        if (hung)
            TerminateProcess(c.info.hProcess, 99);
        GetExitCodeProcess(c.info.hProcess, &exitCode);
        CloseHandle(c.info.hProcess);
        CloseHandle(c.info.hThread);
        if (!hung && exitCode <= 1) {
            (exitCode == 1 ? decoded : refused)++;
            DeleteFileA(c.file.c_str());
            return;
        }
        CreateDirectoryA(keep.c_str(), nullptr);
        const std::string kept = keep + c.file.substr(c.file.find_last_of('\\'));
        CopyFileA(c.file.c_str(), kept.c_str(), FALSE);
        if (!hung && exitCode == 4) {
            platformFaults.push_back(kept);
            return;
        }
        char code[16];
        snprintf(code, sizeof code, "%08lX", exitCode);
        failures.push_back((hung ? "hang: " : std::string("exit ") + code + ": ") + kept);
    };

    for (int i = 0; i < kMutations; ++i) {
        const auto &[name, bytes] = seeds[static_cast<std::size_t>(i) % seeds.size()];
        Child c;
        c.file = dir.file(std::to_string(i) + "-" + name);
        testsupport::writeFile(c.file, mutate(bytes, rng));
        std::string command = "\"" + loader + "\" \"" + c.file + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &c.info))
            << command;
        running.push_back(c);
        if (running.size() == kParallel) {
            for (auto &r : running)
                finish(r);
            running.clear();
        }
    }
    for (auto &r : running)
        finish(r);

    std::printf("fuzz: %d mutations, %d decoded, %d refused, %zu faults in the platform's "
                "decoders, %zu failures\n",
                kMutations, decoded, refused, platformFaults.size(), failures.size());
    for (const auto &f : platformFaults)
        std::printf("fault inside the platform's decoder: %s\n", f.c_str());
    for (const auto &f : failures)
        ADD_FAILURE() << f;
    EXPECT_GT(decoded, 0); // the mutations are not all rejected at the first byte
    EXPECT_GT(refused, 0);
}
