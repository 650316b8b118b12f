// Small helpers every service of the stack shares: GBK pages, HTML escaping, encodings and the
// reading of query strings and form bodies as the client builds them.
#pragma once

#include "Http.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::services {

// --- encodings -----------------------------------------------------------------------------
// Strict conversions; nullopt when the input is not valid in the source encoding or a character
// has no place in the target.
std::optional<std::string> gbkToUtf8(std::string_view gbk);
std::optional<std::string> utf8ToGbk(std::string_view utf8);
bool isValidUtf8(std::string_view text);
// UTF-8 HTML to GBK; characters GBK lacks become numeric character references, so any text
// (emoji in a chat line, say) still reaches the browser intact.
std::string utf8ToGbkHtml(std::string_view utf8);

// --- HTML ----------------------------------------------------------------------------------
std::string htmlEscape(std::string_view text);
// A complete GBK page: title and body are UTF-8 HTML, the result is GBK bytes.
std::string gbkPage(std::string_view title, std::string_view bodyHtml);
Response pageResponse(std::string_view title, std::string_view bodyHtml, int status = 200);
// A short page that says what went wrong, for every refusal of the transport and the services.
Response errorPage(int status, std::string_view message);

// --- queries and forms ---------------------------------------------------------------------
// "%XX" decoded; with plusAsSpace "+" becomes a space. nullopt on a broken "%" sequence.
std::optional<std::string> percentDecode(std::string_view text, bool plusAsSpace = true);
// The raw (undecoded) value of the first key=value pair of the query with that key, compared
// ignoring case as the original ASP pages did.
std::optional<std::string> queryValue(std::string_view query, std::string_view key);
// Reads a form body whose keys come in a known order, as the client concatenates it with the
// typed values unencoded: each value runs up to "&" + the next key + "=", the last to the end.
// So a typed "&" or "=" stays inside its value. nullopt when a key is missing or out of order.
std::optional<std::vector<std::string>> orderedFormValues(std::string_view body,
                                                          std::span<const std::string_view> keys);
// The value of one cookie in a Cookie header, or empty.
std::string cookieValue(std::string_view cookieHeader, std::string_view name);

bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string toLowerAscii(std::string_view text);

} // namespace kestrova::services
