// What a request handler of the stack sees and answers, apart from the transport. Handlers are
// plain functions or classes with `Response handle(const Request&)`; the server (Boost.Beast) only
// turns bytes into a Request and a Response back into bytes.
#pragma once

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::services {

struct Header
{
    std::string name;
    std::string value;
};

struct Request
{
    std::string method;  // "GET", "POST", ...
    std::string target;  // as sent: path and query, undecoded
    std::string path;    // target up to "?"
    std::string query;   // after "?", undecoded; empty when none
    std::string host;    // Host header without port, lower case
    unsigned short port = 0; // port the connection came in on
    std::vector<Header> headers;
    std::string body;
    std::string peer;    // remote address, for logs and rate limits

    // First header of that name (ignoring case), or empty.
    std::string header(std::string_view name) const
    {
        for (const auto& h : headers) {
            if (h.name.size() == name.size() &&
                std::equal(h.name.begin(), h.name.end(), name.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                }))
                return h.value;
        }
        return {};
    }
};

struct Response
{
    int status = 200;
    std::string contentType = "text/html; charset=gbk";
    std::vector<Header> headers; // extra lines, e.g. Set-Cookie
    std::string body;
    // The transport holds the answer back this long without blocking a thread (slowed refusals).
    std::chrono::milliseconds delay{0};

    static Response page(std::string body, int status = 200)
    {
        Response r;
        r.status = status;
        r.body = std::move(body);
        return r;
    }
    static Response bytes(std::string body, std::string contentType, int status = 200)
    {
        Response r;
        r.status = status;
        r.contentType = std::move(contentType);
        r.body = std::move(body);
        return r;
    }
};

} // namespace kestrova::services
