// Text helpers that are safe for multi-byte text. The program's narrow
// strings are in the active code page, which the manifest sets to UTF-8;
// nothing here splits or alters a multi-byte sequence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vistoro {

// Leading and trailing blanks removed.
std::string trim(std::string_view s);

// Length in bytes of the well-formed UTF-8 sequence starting at s[i], or 0
// when the bytes there are not one (a lone byte of a single-byte code page).
std::size_t utf8SequenceAt(std::string_view s, std::size_t i) noexcept;
bool isWellFormedUtf8(std::string_view s) noexcept;
bool hasHighByte(std::string_view s) noexcept;

// Case mapping of whole characters; bytes that are not part of a
// well-formed sequence keep their value when the code page is UTF-8.
std::string lowerText(std::string_view s);
std::string upperText(std::string_view s);

// The first n characters (not bytes) of s, and the count of characters.
std::string leftChars(std::string_view s, std::size_t n);
std::size_t charCount(std::string_view s);

// Conversions between the program's narrow text and UTF-16. A text that is
// well-formed UTF-8 and has a high byte is read as UTF-8, any other as the
// ANSI code page (on a UTF-8 code page both readings agree).
std::wstring widen(std::string_view s);
std::string narrowUtf8(std::wstring_view w);
std::string narrowAcp(std::wstring_view w);

} // namespace vistoro
