// Text helpers. The program keeps its text as UTF-8, whatever the process
// code page, and meets the platform only through its wide (W) calls, with
// widen and narrowUtf8 at that boundary; nothing here splits or alters a
// multi-byte sequence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vistoro {

// Leading and trailing blanks removed.
std::string trim(std::string_view s);

// Length in bytes of the well-formed UTF-8 sequence starting at s[i], or 0
// when the bytes there are not one (a stray byte).
std::size_t utf8SequenceAt(std::string_view s, std::size_t i) noexcept;
bool isWellFormedUtf8(std::string_view s) noexcept;
// The same where a lone surrogate (U+D800 to U+DFFF, in three bytes) also
// counts as a character: the form in which the program keeps a file name
// that is not valid UTF-16, which NTFS allows.
std::size_t wtf8SequenceAt(std::string_view s, std::size_t i) noexcept;
bool isWellFormedWtf8(std::string_view s) noexcept;
bool hasHighByte(std::string_view s) noexcept;

// Case mapping of whole characters; a stray byte keeps its value.
std::string lowerText(std::string_view s);
std::string upperText(std::string_view s);

// The first n characters (not bytes) of s, and the count of characters; a
// stray byte counts as one.
std::string leftChars(std::string_view s, std::size_t n);
std::size_t charCount(std::string_view s);

// The one conversion pair between the program's text and the platform's
// UTF-16. widen reads a text that is well-formed UTF-8 (lone surrogates
// allowed) with a high byte as such and any other in the ANSI code page (a
// name given in it still opens); narrowUtf8 gives UTF-8 whatever the code
// page, with each lone surrogate in its own three bytes, so that every
// UTF-16 text, valid or not, comes back from widen unit for unit.
std::wstring widen(std::string_view s);
std::string narrowUtf8(std::wstring_view w);

} // namespace vistoro
