// What a loading child shares with the fuzz test: the entry it is on, how
// far it got, and each entry's outcome.
#pragma once

#include <windows.h>

namespace fuzzprogress {

inline constexpr long kMaxFiles = 4096;
inline constexpr UINT kFaultExit = 3;

inline constexpr char kNotRun = 0, kRefused = 'r', kDecoded = 'd', kCrashed = 'c', kHung = 'h';

struct Progress {
    volatile LONG current; // the entry being loaded
    volatile LONG done;    // entries before this one are finished
    char outcome[kMaxFiles];
};

} // namespace fuzzprogress
