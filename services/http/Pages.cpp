#include "Pages.h"

#include <cstdio>
#include <net/TextOps.h>

namespace kestrova::services {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not a valid one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned int codePoint = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr unsigned int kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kMinimum[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

unsigned int decodeCodePoint(std::string_view sequence)
{
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1)
        return lead;
    unsigned int codePoint = lead & (0xFF >> (sequence.size() + 1));
    for (std::size_t k = 1; k < sequence.size(); ++k)
        codePoint = (codePoint << 6) | (static_cast<unsigned char>(sequence[k]) & 0x3F);
    return codePoint;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const char* reasonText(int status)
{
    switch (status) {
    case 400:
        return "请求无效";
    case 403:
        return "禁止访问";
    case 404:
        return "页面不存在";
    case 405:
        return "不支持的请求方法";
    case 413:
        return "提交的内容太长";
    case 414:
        return "请求地址太长";
    case 431:
        return "请求头太长";
    case 500:
        return "服务器内部错误";
    case 503:
        return "服务暂不可用";
    default:
        return "出错了";
    }
}

} // namespace

std::optional<std::string> gbkToUtf8(std::string_view gbk)
{
    if (gbk.empty())
        return std::string();
    std::string out = net::convertEncoding(gbk, "GBK", "UTF-8");
    if (out.empty())
        return std::nullopt;
    return out;
}

std::optional<std::string> utf8ToGbk(std::string_view utf8)
{
    if (utf8.empty())
        return std::string();
    std::string out = net::convertEncoding(utf8, "UTF-8", "GBK");
    if (out.empty())
        return std::nullopt;
    return out;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string utf8ToGbkHtml(std::string_view utf8)
{
    if (auto whole = utf8ToGbk(utf8))
        return *whole;
    // Slow path, only for texts holding characters GBK lacks: one character at a time.
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = utf8SequenceLength(utf8, i);
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        const std::string_view sequence = utf8.substr(i, length);
        if (auto converted = utf8ToGbk(sequence)) {
            out += *converted;
        } else {
            char reference[16];
            std::snprintf(reference, sizeof reference, "&#%u;", decodeCodePoint(sequence));
            out += reference;
        }
        i += length;
    }
    return out;
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string gbkPage(std::string_view title, std::string_view bodyHtml)
{
    std::string page;
    page.reserve(bodyHtml.size() + 256);
    page += "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=gbk\">\r\n<title>";
    page += title;
    page += "</title>\r\n</head>\r\n<body>\r\n";
    page += bodyHtml;
    page += "\r\n</body>\r\n</html>\r\n";
    return utf8ToGbkHtml(page);
}

Response pageResponse(std::string_view title, std::string_view bodyHtml, int status)
{
    return Response::page(gbkPage(title, bodyHtml), status);
}

Response errorPage(int status, std::string_view message)
{
    const std::string title = std::to_string(status) + " " + reasonText(status);
    return pageResponse(title, "<h3>" + title + "</h3>\r\n<p>" + htmlEscape(message) + "</p>", status);
}

std::optional<std::string> percentDecode(std::string_view text, bool plusAsSpace)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c == '+' && plusAsSpace) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> queryValue(std::string_view query, std::string_view key)
{
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view pair = query.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        const std::string_view name = pair.substr(0, equals);
        if (equalsIgnoringCase(name, key))
            return std::string(equals == std::string_view::npos ? std::string_view()
                                                                : pair.substr(equals + 1));
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> orderedFormValues(std::string_view body,
                                                          std::span<const std::string_view> keys)
{
    std::vector<std::string> values;
    if (keys.empty())
        return values;
    const std::string first = std::string(keys[0]) + "=";
    if (!body.starts_with(first))
        return std::nullopt;
    std::size_t valueStart = first.size();
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (k + 1 == keys.size()) {
            values.emplace_back(body.substr(valueStart));
            break;
        }
        const std::string next = "&" + std::string(keys[k + 1]) + "=";
        const std::size_t at = body.find(next, valueStart);
        if (at == std::string_view::npos)
            return std::nullopt;
        values.emplace_back(body.substr(valueStart, at - valueStart));
        valueStart = at + next.size();
    }
    return values;
}

std::string cookieValue(std::string_view cookieHeader, std::string_view name)
{
    std::size_t start = 0;
    while (start < cookieHeader.size()) {
        std::size_t end = cookieHeader.find(';', start);
        if (end == std::string_view::npos)
            end = cookieHeader.size();
        std::string_view pair = cookieHeader.substr(start, end - start);
        while (!pair.empty() && pair.front() == ' ')
            pair.remove_prefix(1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
            std::string_view value = pair.substr(equals + 1);
            while (!value.empty() && value.back() == ' ')
                value.remove_suffix(1);
            return std::string(value);
        }
        start = end + 1;
    }
    return {};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string toLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace kestrova::services
