#include "TextOps.h"

#include <cerrno>
#include <iconv.h>
#include <memory>

namespace kestrova::net {
namespace {

bool isLeadByte(unsigned char c)
{
    return c >= 0x80;
}

unsigned char foldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Compares needle with text at byte offset pos. Bytes of two-byte characters compare exactly:
// their second byte may fall in the ASCII letter range and must not be case-folded.
bool matchesAt(std::string_view text, size_t pos, std::string_view needle, bool ignoreCase)
{
    if (text.size() - pos < needle.size())
        return false;
    for (size_t j = 0; j < needle.size();) {
        const auto n = static_cast<unsigned char>(needle[j]);
        const auto t = static_cast<unsigned char>(text[pos + j]);
        if (isLeadByte(n)) {
            if (n != t)
                return false;
            if (j + 1 < needle.size() && needle[j + 1] != text[pos + j + 1])
                return false;
            j += 2;
            continue;
        }
        if (ignoreCase ? foldCase(n) != foldCase(t) : n != t)
            return false;
        ++j;
    }
    return true;
}

size_t characterLength(std::string_view text, size_t pos)
{
    return (isLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) ? 2 : 1;
}

// Zero-based offset of the first match at or after the zero-based boundary `from`, or npos.
size_t findFrom(std::string_view text, std::string_view needle, size_t from, bool ignoreCase)
{
    for (size_t pos = from; pos < text.size(); pos += characterLength(text, pos)) {
        if (matchesAt(text, pos, needle, ignoreCase))
            return pos;
    }
    return std::string_view::npos;
}

struct IconvCloser
{
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle openConverter(const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    return IconvHandle(cd);
}

// Runs the conversion; on an invalid or truncated input sequence either gives up (returns false)
// or, when lenient, writes "?" and steps over one byte.
bool convert(std::string_view bytes, const char* from, const char* to, bool lenient, std::string& out)
{
    IconvHandle cd = openConverter(from, to);
    if (!cd)
        return false;
    out.clear();
    std::string buffer(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (true) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t rc =
            iconv(static_cast<iconv_t>(cd.get()), inLeft ? &in : nullptr, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<size_t>(-1)) {
            if (inLeft == 0) {
                // Flush any shift state.
                outPtr = buffer.data();
                outLeft = buffer.size();
                iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, &outPtr, &outLeft);
                out.append(buffer.data(), buffer.size() - outLeft);
                return true;
            }
            continue;
        }
        if (errno == E2BIG)
            continue;
        if ((errno == EILSEQ || errno == EINVAL) && lenient) {
            out.push_back('?');
            ++in;
            --inLeft;
            if (inLeft == 0)
                return true;
            continue;
        }
        return false;
    }
}

} // namespace

int findText(std::string_view text, std::string_view needle, int start, bool ignoreCase)
{
    if (text.empty())
        return -1;
    const size_t from = start < 1 ? 0 : static_cast<size_t>(start - 1);
    if (from >= text.size())
        return -1;
    if (needle.empty())
        return static_cast<int>(from + 1);
    const size_t pos = findFrom(text, needle, from, ignoreCase);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos + 1);
}

Text textBetween(std::string_view text, std::string_view left, std::string_view right)
{
    if (right.empty())
        return {};
    const int leftPos = findText(text, left);
    if (leftPos < 0)
        return {};
    const std::string_view rest = text.substr(static_cast<size_t>(leftPos - 1) + left.size());
    const int rightPos = findText(rest, right);
    if (rightPos < 0)
        return {};
    return Text(rest.substr(0, static_cast<size_t>(rightPos - 1)));
}

std::vector<Text> splitText(std::string_view text, std::string_view separator)
{
    std::vector<Text> pieces;
    if (text.empty())
        return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t pieceStart = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        if (matchesAt(text, pos, separator, false)) {
            pieces.emplace_back(text.substr(pieceStart, pos - pieceStart));
            pos += separator.size();
            pieceStart = pos;
        } else {
            pos += characterLength(text, pos);
        }
    }
    if (pieceStart < text.size())
        pieces.emplace_back(text.substr(pieceStart));
    return pieces;
}

Text bytesToText(std::string_view bytes)
{
    const size_t zero = bytes.find('\0');
    return Text(zero == std::string_view::npos ? bytes : bytes.substr(0, zero));
}

std::string convertEncoding(std::string_view bytes, const char* from, const char* to)
{
    std::string out;
    if (!convert(bytes, from, to, false, out))
        return {};
    return out;
}

std::string convertEncodingLenient(std::string_view bytes, const char* from, const char* to)
{
    std::string out;
    if (!convert(bytes, from, to, true, out))
        return {};
    return out;
}

Text percentEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    Text out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back('%');
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
    return out;
}

Text toGbk(std::string_view utf8)
{
    return convertEncodingLenient(utf8, "UTF-8", "GBK");
}

std::string fromGbk(std::string_view gbk)
{
    return convertEncodingLenient(gbk, "GBK", "UTF-8");
}

} // namespace kestrova::net
