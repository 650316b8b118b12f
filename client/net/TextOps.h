// Text operations over GBK byte strings: every page the client reads is searched and cut with
// these, and every request it builds is put together with them. Positions count bytes from 1; a
// byte with its top bit set starts a two-byte character that no search ever splits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrova::net {

// A GBK byte string. Inside the client every text is one of these.
using Text = std::string;

// Position (from 1) of the first occurrence of needle at or after start, or -1. A start below 1
// means 1. Matches begin only on character boundaries.
int findText(std::string_view text, std::string_view needle, int start = 1, bool ignoreCase = false);

// The text after the first left marker up to the first right marker after it; empty when either
// marker is missing or the right marker is empty.
Text textBetween(std::string_view text, std::string_view left, std::string_view right);

// Pieces between separators; no empty last piece; an empty text gives none; an empty separator
// or a text without it gives the whole text.
std::vector<Text> splitText(std::string_view text, std::string_view separator);

// The bytes up to the first zero byte.
Text bytesToText(std::string_view bytes);

// Converts between character encodings by name (GBK, GB2312, GB18030, UTF-8, BIG5, ...). Empty
// when the input is not valid in the source encoding or a name is unknown.
std::string convertEncoding(std::string_view bytes, const char* from, const char* to);

// Like convertEncoding, but an invalid input sequence becomes "?" instead of failing the whole
// conversion (used for response bodies, where a stray byte must not blank the page).
std::string convertEncodingLenient(std::string_view bytes, const char* from, const char* to);

// Every byte as "%" and two upper-case hex digits.
Text percentEncode(std::string_view text);

// UTF-8 → GBK for the program's own literals and for text handed in by the toolkit.
Text toGbk(std::string_view utf8);
// GBK → UTF-8 for the toolkit boundary and for logs.
std::string fromGbk(std::string_view gbk);

} // namespace kestrova::net

// A Chinese literal written in UTF-8 source, as GBK bytes converted once per call site:
//   const Text& caption = GBK("科目一");
#define GBK(utf8Literal)                                                                                     \
    ([]() -> const ::kestrova::net::Text& {                                                                  \
        static const ::kestrova::net::Text converted = ::kestrova::net::toGbk(utf8Literal);                  \
        return converted;                                                                                    \
    }())
