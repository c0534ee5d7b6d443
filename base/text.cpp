#include "base/text.h"

#include <windows.h>

#include <algorithm>

namespace vistoro {
namespace {

std::wstring toWide(std::string_view s, UINT cp) {
    if (s.empty())
        return {};
    // Precomposed characters, as the ANSI reading of a name asks for.
    const DWORD flags = cp == CP_UTF8 ? 0 : MB_PRECOMPOSED;
    int n = ::MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// Maps one well-formed sequence through the platform's case tables.
std::string mapCase(std::string_view piece, bool upper) {
    std::wstring w = toWide(piece, CP_UTF8);
    if (upper)
        ::CharUpperBuffW(w.data(), static_cast<DWORD>(w.size()));
    else
        ::CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
    std::string out = narrowUtf8(w);
    return out.empty() ? std::string(piece) : out;
}

std::string changeCase(std::string_view s, bool upper) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (upper && c >= 'a' && c <= 'z')
                c = static_cast<unsigned char>(c - 32);
            else if (!upper && c >= 'A' && c <= 'Z')
                c = static_cast<unsigned char>(c + 32);
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t len = utf8SequenceAt(s, i);
        if (len == 0) {
            // A stray byte, or a lone surrogate, which has no case: kept as it is.
            len = std::max<std::size_t>(wtf8SequenceAt(s, i), 1);
            out += s.substr(i, len);
            i += len;
            continue;
        }
        out += mapCase(s.substr(i, len), upper);
        i += len;
    }
    return out;
}

} // namespace

std::string trim(std::string_view s) {
    auto b = s.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    auto e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

namespace {

// The sequence at s[i] and the code point it holds; length 0 for a stray
// byte. Surrogates count only where allowed.
std::size_t sequenceAt(std::string_view s, std::size_t i, bool surrogates,
                       unsigned *codePoint = nullptr) noexcept {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = at(i);
    if (c < 0x80) {
        if (codePoint)
            *codePoint = c;
        return 1;
    }
    std::size_t len;
    unsigned cp;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (at(i + k) & 0x3F);
    }
    // Overlong forms and values past U+10FFFF are never well-formed.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (!surrogates && cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    if (codePoint)
        *codePoint = cp;
    return len;
}

bool wellFormed(std::string_view s, bool surrogates) noexcept {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = sequenceAt(s, i, surrogates);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

// Well-formed text, lone surrogates included, unit for unit.
std::wstring wideFromWtf8(std::string_view s) {
    std::wstring w;
    w.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        unsigned cp = 0;
        i += sequenceAt(s, i, true, &cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            w += static_cast<wchar_t>(0xD800 + (cp >> 10));
            w += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            w += static_cast<wchar_t>(cp);
        }
    }
    return w;
}

void appendUtf8(std::string &out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::size_t utf8SequenceAt(std::string_view s, std::size_t i) noexcept {
    return sequenceAt(s, i, false);
}

bool isWellFormedUtf8(std::string_view s) noexcept { return wellFormed(s, false); }

std::size_t wtf8SequenceAt(std::string_view s, std::size_t i) noexcept {
    return sequenceAt(s, i, true);
}

bool isWellFormedWtf8(std::string_view s) noexcept { return wellFormed(s, true); }

bool hasHighByte(std::string_view s) noexcept {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

std::string lowerText(std::string_view s) { return changeCase(s, false); }
std::string upperText(std::string_view s) { return changeCase(s, true); }

namespace {
// Bytes of the character at s[i]: a whole sequence (a lone surrogate
// included), or one stray byte.
std::size_t charLengthAt(std::string_view s, std::size_t i) {
    std::size_t len = wtf8SequenceAt(s, i);
    return len ? len : 1;
}
} // namespace

std::string leftChars(std::string_view s, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < s.size() && count < n; ++count)
        i += charLengthAt(s, i);
    return std::string(s.substr(0, i));
}

std::size_t charCount(std::string_view s) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++count)
        i += charLengthAt(s, i);
    return count;
}

std::wstring widen(std::string_view s) {
    if (hasHighByte(s) && isWellFormedWtf8(s))
        return wideFromWtf8(s);
    return toWide(s, CP_ACP);
}

std::string narrowUtf8(std::wstring_view w) {
    std::string s;
    s.reserve(w.size());
    for (std::size_t i = 0; i < w.size(); ++i) {
        unsigned cp = static_cast<unsigned>(w[i]) & 0xFFFF;
        const bool high = cp >= 0xD800 && cp <= 0xDBFF;
        if (high && i + 1 < w.size()) {
            const unsigned next = static_cast<unsigned>(w[i + 1]) & 0xFFFF;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        appendUtf8(s, cp); // a surrogate left alone keeps its own three bytes
    }
    return s;
}

} // namespace vistoro
