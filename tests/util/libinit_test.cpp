#include "util/libinit.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

using namespace vistoro;
using testsupport::fileExists;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

std::string makeFolder(const ScratchDir &tmp, const std::string &name) {
    const std::string p = tmp.file(name);
    CreateDirectoryA(p.c_str(), nullptr);
    return p;
}

std::string makeLeftover(const ScratchDir &tmp, const std::string &name) {
    const std::string p = makeFolder(tmp, name);
    writeFile(p + "\\USER", std::string(kWorkFolderStamp) + "\r\n");
    return p;
}

} // namespace

TEST(LibraryStartup, WorkFolderNamesAreRecognisedExactly) {
    EXPECT_TRUE(isOwnWorkFolderName("zvw-0123abcd"));
    EXPECT_TRUE(isOwnWorkFolderName("ZVW-0123ABCD"));
    EXPECT_FALSE(isOwnWorkFolderName("zvw-0123abc"));
    EXPECT_FALSE(isOwnWorkFolderName("zvw-0123abcg"));
    EXPECT_FALSE(isOwnWorkFolderName("zvw-0123abcd0"));
    EXPECT_FALSE(isOwnWorkFolderName("."));
    EXPECT_FALSE(isOwnWorkFolderName(".."));
    EXPECT_FALSE(isOwnWorkFolderName("xzvw-0123abc"));
}

TEST(LibraryStartup, CleanupRemovesOnlyOwnLeftovers) {
    ScratchDir tmp("clean");
    // Ours: named and stamped, with hidden and read-only files inside.
    const std::string ours = makeLeftover(tmp, "zvw-00000001");
    writeFile(ours + "\\data.tmp", "x");
    writeFile(ours + "\\ro.tmp", "x");
    SetFileAttributesA((ours + "\\ro.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
    writeFile(ours + "\\hidden.tmp", "x");
    SetFileAttributesA((ours + "\\hidden.tmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    // Ours but holding a sub-folder: its files go, the folder stays.
    const std::string nested = makeLeftover(tmp, "zvw-00000002");
    makeFolder(tmp, "zvw-00000002\\inner");
    writeFile(nested + "\\inner\\keep.txt", "x");

    // Decoys.
    const std::string lookAlike = makeFolder(tmp, "zvw-00000003"); // no marker
    writeFile(lookAlike + "\\photo.jpg", "x");
    const std::string wrongStamp = makeFolder(tmp, "zvw-00000004");
    writeFile(wrongStamp + "\\USER", "someone else's");
    writeFile(wrongStamp + "\\notes.txt", "x");
    const std::string markerDir = makeFolder(tmp, "zvw-00000005");
    makeFolder(tmp, "zvw-00000005\\USER");
    const std::string other = makeFolder(tmp, "other-app");
    writeFile(other + "\\USER", std::string(kWorkFolderStamp) + "\r\n");
    writeFile(tmp.file("zvw-00000006"), std::string(kWorkFolderStamp)); // loose file
    writeFile(tmp.file("loose.txt"), "x");

    const auto removed = cleanTemporaryArea(tmp.path());

    EXPECT_EQ(removed, std::vector<std::string>{ours});
    EXPECT_FALSE(fileExists(ours));
    EXPECT_TRUE(fileExists(nested));
    EXPECT_TRUE(fileExists(nested + "\\inner\\keep.txt"));
    EXPECT_FALSE(fileExists(nested + "\\USER"));
    EXPECT_TRUE(fileExists(lookAlike + "\\photo.jpg"));
    EXPECT_TRUE(fileExists(wrongStamp + "\\USER"));
    EXPECT_TRUE(fileExists(wrongStamp + "\\notes.txt"));
    EXPECT_TRUE(fileExists(markerDir + "\\USER"));
    EXPECT_TRUE(fileExists(other + "\\USER"));
    EXPECT_TRUE(fileExists(tmp.file("zvw-00000006")));
    EXPECT_TRUE(fileExists(tmp.file("loose.txt")));
}

TEST(LibraryStartup, MissingOrEmptyTempDoesNothing) {
    EXPECT_TRUE(cleanTemporaryArea("").empty());
    EXPECT_TRUE(cleanTemporaryArea("   ").empty());
    EXPECT_TRUE(cleanTemporaryArea("Z:\\no\\such\\folder\\anywhere").empty());

    char saved[MAX_PATH] = {};
    const DWORD had = GetEnvironmentVariableA("TEMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TEMP", nullptr);
    EXPECT_TRUE(cleanTemporaryArea().empty());
    SetEnvironmentVariableA("TEMP", "");
    EXPECT_TRUE(cleanTemporaryArea().empty());
    SetEnvironmentVariableA("TEMP", had ? saved : nullptr);
}

TEST(LibraryStartup, StartupSetsValuesAndErrorMode) {
    ScratchDir tmp("start");
    const std::string ours = makeLeftover(tmp, "zvw-0000abcd");
    char saved[MAX_PATH] = {};
    const DWORD had = GetEnvironmentVariableA("TEMP", saved, MAX_PATH);
    SetEnvironmentVariableA("TEMP", tmp.path().c_str());
    SetErrorMode(0);
    LIBSTARTUP();
    SetEnvironmentVariableA("TEMP", had ? saved : nullptr);

    EXPECT_FALSE(fileExists(ours));
    EXPECT_EQ(SetErrorMode(0) & SEM_FAILCRITICALERRORS, static_cast<UINT>(SEM_FAILCRITICALERRORS));
    EXPECT_EQ(libraryValues().ACS_USER, "USER");
    EXPECT_EQ(libraryValues().ACS_LEVEL, 1);
    EXPECT_EQ(libraryValues().ACS_TEMP, "");
}

TEST(LibraryStartup, ShutdownLeavesTheCurrentDirectoryAlone) {
    ScratchDir tmp("shut");
    writeFile(tmp.file("VIEW0001.NTX"), "user's own");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(tmp.path().c_str());
    LIBSHUTDOWN();
    SetCurrentDirectoryA(cwd);
    EXPECT_TRUE(fileExists(tmp.file("VIEW0001.NTX")));
}
