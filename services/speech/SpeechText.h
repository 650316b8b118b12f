// Reading the text the client asks to hear: the query value as it arrives (every byte
// percent-encoded UTF-8), checked and cut into spoken pieces and pauses.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::services::speech {

// The raw (still encoded) value of the first `key=` in a query string, or nothing when the key is
// absent. A key without "=" has an empty value.
std::optional<std::string_view> queryValue(std::string_view query, std::string_view key);

struct DecodedText
{
    std::string utf8;
    std::string error; // empty on success; otherwise says what is wrong, in Chinese
};

// Percent-decodes a query value ("+" is a blank, as in forms) and checks that the bytes are UTF-8
// without overlong forms, surrogates or code points above U+10FFFF. Control characters become
// blanks, so that a zero byte cannot cut the text short inside the synthesiser.
DecodedText decodeSpeechText(std::string_view raw);

// Number of code points of a valid UTF-8 text.
std::size_t countCharacters(std::string_view utf8);

// A stretch of text to speak, followed by a pause of `pauseMarks` "#" characters (0 for none).
struct SpeechPiece
{
    std::string text;
    int pauseMarks = 0;
};

// Cuts the text at every run of "#": the callers separate phrases with one to three of them and
// expect a pause there, not the sign read aloud.
std::vector<SpeechPiece> splitAtPauses(std::string_view utf8);

} // namespace kestrova::services::speech
