// Paths as the program keeps them, parts divided by backslashes, and
// whether a file is there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vistoro {

// True when a file (not a folder) of that path exists.
bool fileExists(std::string_view path);

// A file's size and last-write time: what is read from a file while both
// stay the same is still what the file holds.
struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0; // in the platform's 100-nanosecond ticks
    bool operator==(const FileStamp &) const = default;
};
// The stamp of a file (not a folder); none when there is no such file.
std::optional<FileStamp> fileStamp(std::string_view path);

// The folder part of a path: up to and including its last backslash; ""
// when it has none.
std::string folderPart(std::string_view path);
// The folder as the viewer keeps it: the folder part without its closing
// backslash, unless the folder is exactly "\".
std::string folderOf(std::string_view path);
// The text after the last backslash (the whole text when there is none).
std::string nameOf(std::string_view path);

} // namespace vistoro
