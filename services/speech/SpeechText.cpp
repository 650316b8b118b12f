#include "SpeechText.h"

namespace kestrova::services::speech {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Length of the UTF-8 sequence at pos, or 0 when it is not a valid one.
std::size_t sequenceLength(std::string_view s, std::size_t pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80)
        return 1;
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - pos < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::optional<std::string_view> queryValue(std::string_view query, std::string_view key)
{
    while (!query.empty()) {
        const auto amp = query.find('&');
        const auto pair = query.substr(0, amp);
        const auto eq = pair.find('=');
        if (pair.substr(0, eq) == key)
            return eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return std::nullopt;
}

DecodedText decodeSpeechText(std::string_view raw)
{
    DecodedText out;
    out.utf8.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '+') {
            out.utf8 += ' ';
        } else if (c == '%') {
            const int hi = i + 1 < raw.size() ? hexValue(raw[i + 1]) : -1;
            const int lo = i + 2 < raw.size() ? hexValue(raw[i + 2]) : -1;
            if (hi < 0 || lo < 0) {
                out.utf8.clear();
                out.error = "百分号编码不完整（第 " + std::to_string(i + 1) + " 个字节）";
                return out;
            }
            out.utf8 += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out.utf8 += c;
        }
    }
    for (std::size_t pos = 0; pos < out.utf8.size();) {
        const auto length = sequenceLength(out.utf8, pos);
        if (length == 0) {
            out.utf8.clear();
            out.error = "文字不是有效的 UTF-8 编码";
            return out;
        }
        if (length == 1 && (static_cast<unsigned char>(out.utf8[pos]) < 0x20 || out.utf8[pos] == 0x7F))
            out.utf8[pos] = ' ';
        pos += length;
    }
    return out;
}

std::size_t countCharacters(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

std::vector<SpeechPiece> splitAtPauses(std::string_view utf8)
{
    std::vector<SpeechPiece> pieces;
    SpeechPiece current;
    for (const char c : utf8) {
        if (c == '#') {
            ++current.pauseMarks;
            continue;
        }
        if (current.pauseMarks > 0) {
            pieces.push_back(std::move(current));
            current = {};
        }
        current.text += c;
    }
    if (!current.text.empty() || current.pauseMarks > 0)
        pieces.push_back(std::move(current));
    return pieces;
}

} // namespace kestrova::services::speech
