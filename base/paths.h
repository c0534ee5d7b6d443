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

// What tells one state of a file from another: what is read from a file
// while its stamp stays the same is still what the file holds. Size and
// last-write time alone are not enough: a copy keeps the source's write
// time (and a card's clock counts in 2 s), and a save by rename puts
// another file under the name. The change time, which the file system sets
// itself and no copy carries over, and the file's identity catch both.
struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;  // in the platform's 100-nanosecond ticks
    std::uint64_t lastChange = 0; // likewise; 0 where the file system keeps none
    std::uint32_t volume = 0;     // the volume's serial number
    std::uint64_t fileIndex = 0;  // the file's identity on that volume
    bool operator==(const FileStamp &) const = default;
};
// The stamp of a file (not a folder); none when there is no such file or
// its stamp cannot be read.
std::optional<FileStamp> fileStamp(std::string_view path);
// The same of a file already open (with at least the right to read its
// attributes).
std::optional<FileStamp> fileStampOf(void *file);

// The folder part of a path: up to and including its last backslash; ""
// when it has none.
std::string folderPart(std::string_view path);
// The folder as the viewer keeps it: the folder part without its closing
// backslash, unless the folder is exactly "\".
std::string folderOf(std::string_view path);
// The text after the last backslash (the whole text when there is none).
std::string nameOf(std::string_view path);

} // namespace vistoro
