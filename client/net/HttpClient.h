// The client's two ways to the web, over libcurl:
//  - httpRequest: GET or POST on a worker thread under a time limit, while the calling (UI)
//    thread keeps processing its window events;
//  - httpFetch: a plain blocking HTTP/1.0 GET.
// Neither looks at the HTTP status: whatever body comes back is the result. Set-Cookie lines seen
// by httpRequest go into one process-wide store that every later httpRequest to that host sends.
#pragma once

#include "TextOps.h"

#include <optional>
#include <string>

namespace kestrova::net {

struct HttpOptions
{
    int method = 0;                         // 1 = POST, anything else = GET
    std::string proxy;                      // HTTP proxy address; empty = direct
    std::string headers;                    // extra header lines, each ending in CR LF
    std::string postData;                   // request body (POST)
    std::string cookies;                    // Cookie value to add (POST with a body only)
    std::optional<int> limitSeconds;        // default 60
    std::string* responseHeaders = nullptr; // receives the raw response header block
    int conversion = 0;                     // 1: UTF-8 → GBK, 2: Big5 → GBK simplified, else raw
};

// The GBK bytes of "超时返回", the body of a request that reached its limit.
const std::string& timeoutBody();

std::string httpRequest(const std::string& url, const HttpOptions& options = {});
std::string httpRequest(const std::string& url, int method, const std::string& postData = {});

std::string httpFetch(const std::string& url);

// Called by the waiting caller between short waits so that its windows stay usable. Installed by
// the toolkit layer for the UI thread; on any other thread the wait only waits.
using EventPump = void (*)();
void setEventPump(EventPump pump);

// host:port every connection goes to, URL and Host header unchanged; empty = ordinary DNS.
void setGateway(const std::string& gateway);
std::string gateway();

// Number of request workers still running, abandoned ones included (tests, orderly exit).
int runningWorkers();
// Waits up to timeoutMs for every worker to end; true when none is left.
bool waitForWorkers(int timeoutMs);

// The parts of a request URL as the client takes them apart.
struct UrlParts
{
    std::string url;  // normalised: "http://" put in front when no scheme is given
    std::string host; // lower case
    std::string path; // from the first "/" after the host, query included; "/" when none
    std::string port; // decimal text
    bool secure = false;
};
UrlParts splitUrl(const std::string& url);

// The header lines the client sends of its own after the caller's, in order (tests and worker).
std::string completeHeaders(std::string headers, bool post, const std::string& postData,
                            const std::string& cookies);
// The user agent: the caller's trimmed "User-Agent:" value when its headers name one, else the
// default.
std::string chooseUserAgent(const std::string& headers);

// The process-wide cookie store.
void storeCookiesFromHeaders(const std::string& host, const std::string& headerBlock);
std::string cookiesFor(const std::string& host, const std::string& path);
void clearCookies();

} // namespace kestrova::net
