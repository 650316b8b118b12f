#include "HttpClient.h"

#include "Deployment.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <curl/curl.h>
#include <map>
#include <memory>
#include <mutex>
#include <opencc/opencc.h>
#include <openssl/crypto.h>
#include <thread>
#include <vector>

namespace kestrova::net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
constexpr std::string_view kFetchAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr std::string_view kDefaultAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr int kDefaultLimitSeconds = 60;
// The raw header block must fit this buffer, terminating zero included; a longer block is not read.
constexpr size_t kHeaderBufferSize = 2048;
constexpr int kMaxRedirects = 10;
// How often a waiting UI thread looks at its window events, and a worker at its abandon flag
// when no wake-up arrives.
constexpr auto kPumpSlice = std::chrono::milliseconds(10);
constexpr int kWorkerPollMs = 200;

// --- small text helpers -------------------------------------------------------------------

bool containsIgnoringCase(std::string_view text, std::string_view needle)
{
    return findText(text, needle, 1, true) > 0;
}

std::string toLower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c); });
    return text;
}

std::string trimSpaces(std::string_view text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> headerLines(std::string_view block)
{
    std::vector<std::string> lines;
    for (Text& line : splitText(block, "\r\n")) {
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

// --- libcurl handles ----------------------------------------------------------------------

struct EasyDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter
{
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

Slist makeSlist(const std::vector<std::string>& lines)
{
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown) {
            curl_slist_free_all(list);
            return {};
        }
        list = grown;
    }
    return Slist(list);
}

void initCurlOnce()
{
    // Never cleaned up: abandoned workers may still be inside libcurl when the program exits.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// --- the process-wide state ---------------------------------------------------------------

struct Cookie
{
    std::string name;
    std::string value;
    std::string path;
};

struct CookieJar
{
    std::mutex mutex;
    std::map<std::string, std::vector<Cookie>> byHost;
};

CookieJar& cookieJar()
{
    static CookieJar* jar = new CookieJar; // outlives every worker
    return *jar;
}

struct WorkerCount
{
    std::mutex mutex;
    std::condition_variable changed;
    int running = 0;
};

WorkerCount& workerCount()
{
    static WorkerCount* count = new WorkerCount;
    return *count;
}

std::atomic<EventPump> g_pump{nullptr};
std::atomic<std::thread::id> g_pumpThread{};

std::mutex g_gatewayMutex;
std::optional<std::string> g_gateway;

// --- one exchange with a server, redirects included ---------------------------------------

struct Exchange
{
    std::string url;
    bool post = false;
    bool http10 = false;
    std::string proxy;
    std::string headerBlock; // completed caller block (httpRequest) or fixed lines (httpFetch)
    std::string userAgent;   // empty: the block names its own
    std::string postData;
    bool useCookieStore = false;
};

struct ExchangeResult
{
    std::string body;
    std::string headerBlock;
};

// Shared by the waiting caller and the worker; the worker owns its copy of everything it uses.
struct Job
{
    Exchange exchange;
    ExchangeResult result;
    std::atomic<bool> abandoned{false};
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    CURLM* multi = nullptr; // valid while the worker is in a transfer, guarded by mutex
};

struct TransferState
{
    std::string body;
    std::string headers; // current response's raw header block
    bool headersTooLong = false;
    const std::atomic<bool>* abandoned = nullptr;
};

size_t writeBody(char* data, size_t size, size_t count, void* user)
{
    auto* state = static_cast<TransferState*>(user);
    state->body.append(data, size * count);
    return size * count;
}

size_t writeHeader(char* data, size_t size, size_t count, void* user)
{
    auto* state = static_cast<TransferState*>(user);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) { // a new response (after a 100 Continue, say)
        state->headers.clear();
        state->headersTooLong = false;
    }
    if (!state->headersTooLong) {
        state->headers.append(line);
        if (state->headers.size() + 1 > kHeaderBufferSize) {
            state->headersTooLong = true;
            state->headers.clear();
        }
    }
    return size * count;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* state = static_cast<TransferState*>(user);
    return (state->abandoned && state->abandoned->load()) ? 1 : 0;
}

// Encodes what a request line cannot carry (space, control bytes); everything else, GBK bytes
// included, goes out as the caller wrote it.
std::string requestUrl(const UrlParts& parts)
{
    std::string url = parts.secure ? "https://" : "http://";
    url += parts.host;
    url += ':';
    url += parts.port;
    for (const char c : parts.path) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F) {
            url += percentEncode(std::string_view(&c, 1));
        } else {
            url += c;
        }
    }
    return url;
}

// Runs one request (one hop). Returns false when the transfer was abandoned.
bool runHop(Job* job, const Exchange& ex, const UrlParts& parts, const std::string& verb, bool sendBody,
            TransferState& state, long& status, std::string& location)
{
    EasyHandle easy(curl_easy_init());
    if (!easy)
        return true;
    CURL* h = easy.get();

    std::vector<std::string> lines = headerLines(ex.headerBlock);
    if (ex.useCookieStore) {
        const std::string stored = cookiesFor(parts.host, parts.path);
        if (!stored.empty()) {
            auto cookieLine = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
                return toLower(line.substr(0, 7)) == "cookie:";
            });
            if (cookieLine != lines.end()) {
                *cookieLine += "; " + stored;
            } else {
                lines.push_back("Cookie: " + stored);
            }
        }
    }
    // libcurl adds lines of its own unless told not to; the client's block decides instead.
    const bool namesAccept = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return toLower(line.substr(0, 7)) == "accept:";
    });
    if (!namesAccept)
        lines.emplace_back("Accept:");
    lines.emplace_back("Expect:");
    if (verb == "POST" && !sendBody)
        lines.emplace_back("Content-Type:");
    Slist headerList = makeSlist(lines);

    const std::string url = requestUrl(parts);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, ex.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    if (!ex.userAgent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, ex.userAgent.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
    if (verb == "POST") {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(sendBody ? ex.postData.size() : 0));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, sendBody ? ex.postData.data() : "");
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    if (!ex.proxy.empty())
        curl_easy_setopt(h, CURLOPT_PROXY, ex.proxy.c_str());
    const std::string caBundle = deployment().caBundle;
    if (parts.secure && !caBundle.empty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caBundle.c_str());

    Slist connectTo;
    const std::string gatewayAddress = gateway();
    if (!gatewayAddress.empty() && ex.proxy.empty()) {
        connectTo = makeSlist({"::" + gatewayAddress});
        curl_easy_setopt(h, CURLOPT_CONNECT_TO, connectTo.get());
    }

    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &writeHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 1024L);
    if (job) {
        state.abandoned = &job->abandoned;
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &onProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &state);
    }

    bool completed = true;
    if (!job) {
        curl_easy_perform(h);
    } else {
        MultiHandle multi(curl_multi_init());
        if (!multi)
            return true;
        curl_multi_add_handle(multi.get(), h);
        {
            std::scoped_lock lock(job->mutex);
            job->multi = multi.get();
        }
        int running = 1;
        while (running) {
            if (job->abandoned) {
                completed = false;
                break;
            }
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
                break;
            if (running)
                curl_multi_poll(multi.get(), nullptr, 0, kWorkerPollMs, nullptr);
        }
        {
            std::scoped_lock lock(job->mutex);
            job->multi = nullptr;
        }
        curl_multi_remove_handle(multi.get(), h);
    }
    if (!completed)
        return false;

    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    char* redirect = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect)
        location = redirect;
    return true;
}

// Runs the exchange and the redirects the server asks for. Returns false when abandoned.
bool runExchange(Job* job, const Exchange& ex, ExchangeResult& out)
{
    initCurlOnce();
    UrlParts parts = splitUrl(ex.url);
    std::string verb = ex.post ? "POST" : "GET";
    bool sendBody = ex.post && !ex.postData.empty();
    Exchange hop = ex;
    for (int hopCount = 0;; ++hopCount) {
        TransferState state;
        long status = 0;
        std::string location;
        if (!runHop(job, hop, parts, verb, sendBody, state, status, location))
            return false;
        if (hop.useCookieStore && !state.headersTooLong)
            storeCookiesFromHeaders(parts.host, state.headers);
        const bool redirect =
            (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
            !location.empty() && hopCount < kMaxRedirects;
        if (!redirect) {
            out.body = std::move(state.body);
            out.headerBlock = state.headersTooLong ? std::string() : std::move(state.headers);
            return true;
        }
        // Browsers turn a redirected POST into a GET, except for 307 and 308.
        if (status != 307 && status != 308 && verb == "POST") {
            verb = "GET";
            sendBody = false;
            std::vector<std::string> kept;
            for (const std::string& line : headerLines(hop.headerBlock)) {
                const std::string lower = toLower(line);
                if (!lower.starts_with("content-type:") && !lower.starts_with("content-length:"))
                    kept.push_back(line);
            }
            hop.headerBlock.clear();
            for (const std::string& line : kept)
                hop.headerBlock += line + "\r\n";
        }
        parts = splitUrl(location);
    }
}

void startWorker(std::shared_ptr<Job> job)
{
    {
        std::scoped_lock lock(workerCount().mutex);
        ++workerCount().running;
    }
    std::thread([job = std::move(job)]() mutable {
        ExchangeResult result;
        const bool completed = runExchange(job.get(), job->exchange, result);
        {
            std::scoped_lock lock(job->mutex);
            if (completed)
                job->result = std::move(result);
            job->finished = true;
        }
        job->finishedChanged.notify_all();
        job.reset();
        // libcurl's TLS library keeps per-thread state that is otherwise freed only after this
        // function returns, too late for anyone waiting on the count below.
        OPENSSL_thread_stop();
        WorkerCount& count = workerCount();
        {
            std::scoped_lock lock(count.mutex);
            --count.running;
        }
        count.changed.notify_all();
    }).detach();
}

void pumpEventsIfOwner()
{
    const EventPump pump = g_pump.load();
    if (pump && g_pumpThread.load() == std::this_thread::get_id())
        pump();
}

// --- body conversions -----------------------------------------------------------------------

struct OpenccCloser
{
    void operator()(void* handle) const { opencc_close(static_cast<opencc_t>(handle)); }
};

std::string traditionalToSimplified(const std::string& utf8)
{
    static std::mutex mutex;
    static std::unique_ptr<void, OpenccCloser> converter;
    static bool tried = false;
    std::scoped_lock lock(mutex);
    if (!tried) {
        tried = true;
        opencc_t handle = opencc_open("t2s.json");
        if (handle != reinterpret_cast<opencc_t>(-1))
            converter.reset(handle);
    }
    if (!converter)
        return utf8;
    char* converted = opencc_convert_utf8(static_cast<opencc_t>(converter.get()), utf8.data(), utf8.size());
    if (!converted)
        return utf8;
    std::string result(converted);
    opencc_convert_utf8_free(converted);
    return result;
}

std::string convertBody(const std::string& body, int conversion)
{
    if (conversion == 1)
        return convertEncodingLenient(bytesToText(body), "UTF-8", "GBK");
    if (conversion == 2) {
        const std::string utf8 = convertEncodingLenient(bytesToText(body), "BIG5", "UTF-8");
        return convertEncodingLenient(traditionalToSimplified(utf8), "UTF-8", "GBK");
    }
    return body;
}

} // namespace

// --- public operations ----------------------------------------------------------------------

const std::string& timeoutBody()
{
    return GBK("超时返回");
}

UrlParts splitUrl(const std::string& rawUrl)
{
    UrlParts parts;
    parts.url = rawUrl;
    if (!rawUrl.starts_with("http://") && !rawUrl.starts_with("https://"))
        parts.url = "http://" + rawUrl;
    const std::string& url = parts.url;
    parts.secure = toLower(url.substr(0, 8)) == "https://";

    // Host: the URL without its scheme texts, up to the first "/", then up to the first ":".
    std::string rest = url;
    for (const std::string_view scheme : {std::string_view("https://"), std::string_view("http://")}) {
        for (size_t at; (at = rest.find(scheme)) != std::string::npos;)
            rest.erase(at, scheme.size());
    }
    std::string host = rest.substr(0, rest.find('/'));
    host = host.substr(0, host.find(':'));
    parts.host = toLower(host);

    // Path: from the first "/" at or after the host's place in the URL.
    const int hostAt = parts.host.empty() ? 1 : findText(url, parts.host, 1, true);
    const size_t slash = url.find('/', hostAt > 0 ? static_cast<size_t>(hostAt - 1) : 0);
    parts.path = slash == std::string::npos ? "/" : url.substr(slash);

    // Port: after the first ":" of the authority.
    const size_t authorityStart = parts.secure ? 8 : 7;
    const std::string authority = url.substr(authorityStart, url.find('/', authorityStart) - authorityStart);
    const size_t colon = authority.find(':');
    parts.port = colon == std::string::npos ? (parts.secure ? "443" : "80") : authority.substr(colon + 1);
    if (parts.port.empty())
        parts.port = parts.secure ? "443" : "80";
    return parts;
}

std::string chooseUserAgent(const std::string& headers)
{
    if (!containsIgnoringCase(headers, "User-Agent:"))
        return std::string(kDefaultAgent);
    const size_t at = headers.find("User-Agent:");
    if (at == std::string::npos)
        return {};
    const size_t valueStart = at + std::string_view("User-Agent:").size();
    const size_t lineEnd = headers.find("\r\n", valueStart);
    if (lineEnd == std::string::npos)
        return {};
    return trimSpaces(std::string_view(headers).substr(valueStart, lineEnd - valueStart));
}

std::string completeHeaders(std::string block, bool post, const std::string& postData,
                            const std::string& cookies)
{
    if (!containsIgnoringCase(block, "Accept"))
        block += kDefaultAccept;
    if (!containsIgnoringCase(block, "Accept-Language"))
        block += "Accept-Language: zh-cn\r\n";
    if (post && !postData.empty()) {
        if (!containsIgnoringCase(block, "Content-Type"))
            block += "Content-Type: application/x-www-form-urlencoded\r\n";
        if (!containsIgnoringCase(block, "Content-Length"))
            block += "Content-Length: " + std::to_string(postData.size()) + "\r\n";
        if (!cookies.empty())
            block += "Cookie: " + cookies + "\r\n\r\n";
    }
    return block;
}

std::string httpRequest(const std::string& url, int method, const std::string& postData)
{
    HttpOptions options;
    options.method = method;
    options.postData = postData;
    return httpRequest(url, options);
}

std::string httpRequest(const std::string& url, const HttpOptions& options)
{
    const bool post = options.method == 1;
    auto job = std::make_shared<Job>();
    Exchange& ex = job->exchange;
    ex.url = url;
    ex.post = post;
    ex.proxy = options.proxy;
    ex.userAgent = chooseUserAgent(options.headers);
    ex.headerBlock = completeHeaders(options.headers, post, options.postData, options.cookies);
    ex.postData = options.postData;
    ex.useCookieStore = true;

    const auto limit = std::chrono::milliseconds(
        static_cast<long long>(options.limitSeconds.value_or(kDefaultLimitSeconds)) * 1000);
    const bool pumping = g_pump.load() && g_pumpThread.load() == std::this_thread::get_id();
    const auto start = Clock::now();
    startWorker(job);

    bool finished = false;
    bool timedOut = false;
    while (true) {
        {
            std::unique_lock lock(job->mutex);
            const auto slice =
                pumping ? std::min<Clock::duration>(kPumpSlice, limit) : Clock::duration(limit);
            job->finishedChanged.wait_for(lock, slice, [&] { return job->finished; });
            finished = job->finished;
        }
        if (Clock::now() - start >= limit)
            timedOut = true;
        pumpEventsIfOwner();
        if (finished || timedOut)
            break;
    }

    if (timedOut) {
        // Abandon the worker: it aborts its transfer at once and keeps its results to itself.
        job->abandoned = true;
        std::scoped_lock lock(job->mutex);
        if (job->multi)
            curl_multi_wakeup(job->multi);
        return timeoutBody();
    }

    ExchangeResult result;
    {
        std::scoped_lock lock(job->mutex);
        result = std::move(job->result);
    }
    if (options.responseHeaders)
        *options.responseHeaders = result.headerBlock;
    return convertBody(result.body, options.conversion);
}

std::string httpFetch(const std::string& url)
{
    Exchange ex;
    ex.url = url;
    ex.http10 = true;
    ex.userAgent = std::string(kFetchAgent);
    ex.headerBlock = "Accept: */*\r\n";
    ExchangeResult result;
    runExchange(nullptr, ex, result);
    return result.body;
}

void setEventPump(EventPump pump)
{
    g_pumpThread = std::this_thread::get_id();
    g_pump = pump;
}

void setGateway(const std::string& value)
{
    std::scoped_lock lock(g_gatewayMutex);
    g_gateway = value;
}

std::string gateway()
{
    {
        std::scoped_lock lock(g_gatewayMutex);
        if (g_gateway)
            return *g_gateway;
    }
    return deployment().gateway;
}

int runningWorkers()
{
    std::scoped_lock lock(workerCount().mutex);
    return workerCount().running;
}

bool waitForWorkers(int timeoutMs)
{
    WorkerCount& count = workerCount();
    std::unique_lock lock(count.mutex);
    return count.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return count.running == 0; });
}

void storeCookiesFromHeaders(const std::string& host, const std::string& headerBlock)
{
    constexpr std::string_view kMarker = "Set-Cookie: ";
    if (!containsIgnoringCase(headerBlock, kMarker))
        return;
    CookieJar& jar = cookieJar();
    std::scoped_lock lock(jar.mutex);
    std::vector<Cookie>& cookies = jar.byHost[toLower(host)];
    for (const std::string& line : headerLines(headerBlock)) {
        const int at = findText(line, kMarker, 1, true);
        if (at < 0)
            continue;
        const std::string rest = line.substr(static_cast<size_t>(at - 1) + kMarker.size());
        const size_t equals = rest.find('=');
        if (equals == std::string::npos || equals == 0)
            continue;
        Cookie cookie;
        cookie.name = trimSpaces(rest.substr(0, equals));
        const std::string data = rest.substr(equals + 1);
        const std::vector<Text> fields = splitText(data, ";");
        cookie.value = fields.empty() ? std::string() : trimSpaces(fields.front());
        cookie.path = "/";
        bool expired = false;
        for (size_t i = 1; i < fields.size(); ++i) {
            const std::string field = trimSpaces(fields[i]);
            const std::string lower = toLower(field);
            if (lower.starts_with("path=")) {
                cookie.path = field.substr(5);
            } else if (lower.starts_with("max-age=")) {
                expired = std::atol(field.substr(8).c_str()) <= 0;
            } else if (lower.starts_with("expires=")) {
                const time_t when = curl_getdate(field.substr(8).c_str(), nullptr);
                expired = when != -1 && when <= std::time(nullptr);
            }
        }
        std::erase_if(cookies,
                      [&](const Cookie& old) { return old.name == cookie.name && old.path == cookie.path; });
        if (!expired)
            cookies.push_back(std::move(cookie));
    }
}

std::string cookiesFor(const std::string& host, const std::string& path)
{
    CookieJar& jar = cookieJar();
    std::scoped_lock lock(jar.mutex);
    const auto found = jar.byHost.find(toLower(host));
    if (found == jar.byHost.end())
        return {};
    std::string text;
    for (const Cookie& cookie : found->second) {
        if (!path.starts_with(cookie.path))
            continue;
        if (!text.empty())
            text += "; ";
        text += cookie.name + "=" + cookie.value;
    }
    return text;
}

void clearCookies()
{
    CookieJar& jar = cookieJar();
    std::scoped_lock lock(jar.mutex);
    jar.byHost.clear();
}

} // namespace kestrova::net
