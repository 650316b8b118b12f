#include "net/HttpClient.h"

#include "RecordingServer.h"

#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace kestrova::net;
using kestrova::test::RawRequest;
using kestrova::test::RecordingServer;

namespace {

const std::string kDefaultAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; "
                                      ".NET CLR 2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
const std::string kAcceptLine = "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
                                "application/x-shockwave-flash, application/vnd.ms-excel, "
                                "application/vnd.ms-powerpoint, application/msword, */*";

// Every test routes the real host names to its own server, as the deployment's gateway does.
class HttpClientTest : public testing::Test
{
protected:
    void route(const RecordingServer& server) { setGateway(server.address()); }
    void SetUp() override { clearCookies(); }
    void TearDown() override
    {
        setEventPump(nullptr);
        EXPECT_TRUE(waitForWorkers(10000)) << "a request worker did not end";
    }
};

TEST_F(HttpClientTest, GetSendsTheDefaultHeadersInOrder)
{
    RecordingServer server([](const RawRequest&) { return RecordingServer::answer("hello"); });
    route(server);
    EXPECT_EQ(httpRequest("bank.kestrova.test/test/ajax.asp?r=&index=7"), "hello");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].head, "GET /test/ajax.asp?r=&index=7 HTTP/1.1\r\n"
                                "Host: bank.kestrova.test\r\n" +
                                    kDefaultAgentLine + "\r\n" + kAcceptLine +
                                    "\r\n"
                                    "Accept-Language: zh-cn\r\n\r\n");
}

TEST_F(HttpClientTest, CallerHeadersDecideAcceptAndAgent)
{
    RecordingServer server;
    route(server);
    HttpOptions onlyLanguage;
    onlyLanguage.headers = "Accept-Language: en\r\n";
    httpRequest("http://a.kestrova.test/1", onlyLanguage);
    HttpOptions ownAgent;
    ownAgent.headers = "User-Agent:  Kestrova-Test/2 \r\n";
    httpRequest("http://a.kestrova.test/2", ownAgent);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].hasHeaderNamed("Accept")) << requests[0].head;
    EXPECT_TRUE(requests[0].hasHeaderLine("Accept-Language: en"));
    EXPECT_FALSE(requests[0].hasHeaderLine("Accept-Language: zh-cn"));
    EXPECT_TRUE(requests[1].hasHeaderLine("User-Agent:  Kestrova-Test/2 ")) << requests[1].head;
    EXPECT_EQ(requests[1].head.find("MSIE"), std::string::npos);
}

TEST_F(HttpClientTest, PostWithBodyAddsTypeLengthAndCookie)
{
    RecordingServer server;
    route(server);
    HttpOptions post;
    post.method = 1;
    post.postData = "username=\xC0\xEE&passwd=1";
    post.cookies = "pref=2";
    httpRequest("http://account.kestrova.test/s/oth1.asp?xAction=xChklogin", post);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const RawRequest& r = requests[0];
    EXPECT_EQ(r.requestLine(), "POST /s/oth1.asp?xAction=xChklogin HTTP/1.1");
    EXPECT_TRUE(r.hasHeaderLine("Content-Type: application/x-www-form-urlencoded")) << r.head;
    EXPECT_TRUE(r.hasHeaderLine("Content-Length: 20")) << r.head;
    EXPECT_TRUE(r.hasHeaderLine("Cookie: pref=2")) << r.head;
    EXPECT_EQ(r.body, post.postData);
}

TEST_F(HttpClientTest, PostWithoutBodyAndGetSendNoCookieOrTypeOfTheirOwn)
{
    RecordingServer server;
    route(server);
    HttpOptions emptyPost;
    emptyPost.method = 1;
    emptyPost.cookies = "pref=2";
    httpRequest("http://a.kestrova.test/post", emptyPost);
    HttpOptions getWithCookies;
    getWithCookies.cookies = "pref=2";
    httpRequest("http://a.kestrova.test/get", getWithCookies);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine(), "POST /post HTTP/1.1");
    EXPECT_FALSE(requests[0].hasHeaderNamed("Content-Type")) << requests[0].head;
    EXPECT_FALSE(requests[0].hasHeaderNamed("Cookie")) << requests[0].head;
    // The transport frames an empty body; it adds no length of any other value.
    if (requests[0].hasHeaderNamed("Content-Length")) {
        EXPECT_TRUE(requests[0].hasHeaderLine("Content-Length: 0"));
    }
    EXPECT_FALSE(requests[1].hasHeaderNamed("Cookie")) << requests[1].head;
}

TEST_F(HttpClientTest, SetCookieLinesGoBackToTheSameHostOnly)
{
    RecordingServer server([](const RawRequest& r) {
        if (r.requestLine().starts_with("GET /login"))
            return RecordingServer::answer("in", "Set-Cookie: sid=abc123; path=/\r\nSet-Cookie: lang=zh\r\n");
        return RecordingServer::answer("page");
    });
    route(server);
    std::string headers;
    HttpOptions options;
    options.responseHeaders = &headers;
    EXPECT_EQ(httpRequest("http://account.kestrova.test/login", options), "in");
    EXPECT_NE(headers.find("Set-Cookie: sid=abc123"), std::string::npos);
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(headers.ends_with("\r\n\r\n"));

    HttpOptions getWithCookies;
    getWithCookies.cookies = "ignored=1";
    httpRequest("http://ACCOUNT.kestrova.test/news", getWithCookies); // stored cookies still go out
    httpRequest("http://other.kestrova.test/news");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests[1].hasHeaderLine("Cookie: sid=abc123; lang=zh")) << requests[1].head;
    EXPECT_FALSE(requests[2].hasHeaderNamed("Cookie")) << requests[2].head;
    EXPECT_EQ(cookiesFor("account.kestrova.test", "/"), "sid=abc123; lang=zh");
}

TEST_F(HttpClientTest, AnOversizedHeaderBlockIsNotReadAndStoresNoCookies)
{
    RecordingServer server([](const RawRequest&) {
        return RecordingServer::answer("body",
                                       "Set-Cookie: sid=1\r\nX-Padding: " + std::string(2100, 'p') + "\r\n");
    });
    route(server);
    std::string headers = "untouched";
    HttpOptions options;
    options.responseHeaders = &headers;
    EXPECT_EQ(httpRequest("http://big.kestrova.test/", options), "body");
    EXPECT_EQ(headers, "");
    EXPECT_EQ(cookiesFor("big.kestrova.test", "/"), "");
}

TEST_F(HttpClientTest, RedirectsAreFollowedWithTheirCookies)
{
    RecordingServer server([](const RawRequest& r) {
        if (r.requestLine().starts_with("POST /login"))
            return std::string(
                "HTTP/1.1 302 Found\r\nLocation: /home\r\nSet-Cookie: sid=r1\r\nContent-Length: 0\r\n"
                "Connection: close\r\n\r\n");
        return RecordingServer::answer("home");
    });
    route(server);
    EXPECT_EQ(httpRequest("http://account.kestrova.test/login", 1, "a=1"), "home");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].requestLine(), "GET /home HTTP/1.1");
    EXPECT_TRUE(requests[1].hasHeaderLine("Cookie: sid=r1")) << requests[1].head;
    EXPECT_FALSE(requests[1].hasHeaderNamed("Content-Length")) << requests[1].head;
}

TEST_F(HttpClientTest, ZeroLimitTimesOutAtTheFirstWakeUp)
{
    RecordingServer server;
    route(server);
    HttpOptions options;
    options.limitSeconds = 0;
    std::string headers = "untouched";
    options.responseHeaders = &headers;
    EXPECT_EQ(httpRequest("http://a.kestrova.test/", options), timeoutBody());
    EXPECT_EQ(timeoutBody(), "\xB3\xAC\xCA\xB1\xB7\xB5\xBB\xD8"); // 超时返回
    EXPECT_EQ(headers, "untouched");
}

TEST_F(HttpClientTest, ASlowServerIsAbandonedAtTheLimitAndTheWorkerAborts)
{
    RecordingServer server([](const RawRequest&) { return RecordingServer::slowMarker(60); });
    route(server);
    std::atomic<int> pumped{0};
    static std::atomic<int>* counter = nullptr;
    counter = &pumped;
    setEventPump([] { ++*counter; });

    auto headers = std::make_unique<std::string>("untouched");
    HttpOptions options;
    options.limitSeconds = 1;
    options.responseHeaders = headers.get();
    EXPECT_EQ(httpRequest("http://slow.kestrova.test/", options), timeoutBody());
    EXPECT_EQ(*headers, "untouched");
    headers.reset(); // the abandoned worker must never write here

    // Window events were processed while the caller waited.
    EXPECT_GT(pumped.load(), 1);
    // The worker ends long before the server would have finished sending.
    EXPECT_TRUE(waitForWorkers(10000));
    EXPECT_EQ(runningWorkers(), 0);
}

TEST_F(HttpClientTest, BackgroundThreadsOnlyWaitWithoutPumping)
{
    RecordingServer server;
    route(server);
    std::atomic<int> pumped{0};
    static std::atomic<int>* counter = nullptr;
    counter = &pumped;
    setEventPump([] { ++*counter; });
    std::string body;
    std::thread([&] { body = httpRequest("http://a.kestrova.test/bg"); }).join();
    EXPECT_EQ(body, "ok");
    EXPECT_EQ(pumped.load(), 0);
}

TEST_F(HttpClientTest, UnreachableServerGivesAnEmptyBody)
{
    // A port held bound but not listening refuses connections, and no other test can take it.
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t length = sizeof addr;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &length);
    setGateway("127.0.0.1:" + std::to_string(ntohs(addr.sin_port)));

    std::string headers = "x";
    HttpOptions options;
    options.responseHeaders = &headers;
    EXPECT_EQ(httpRequest("http://down.kestrova.test/", options), "");
    EXPECT_EQ(headers, "");
    EXPECT_EQ(httpFetch("http://down.kestrova.test/"), "");
    ::close(holder);
}

TEST_F(HttpClientTest, BodyConversions)
{
    RecordingServer server([](const RawRequest& r) {
        if (r.requestLine().find("/utf8") != std::string::npos)
            return RecordingServer::answer(
                std::string("\xE7\xA7\x91\xE7\x9B\xAE\0tail", 10)); // 科目, zero, tail
        return RecordingServer::answer("\xBE\x72\xA8\xAE");         // 駕車 in Big5
    });
    route(server);
    HttpOptions utf8;
    utf8.conversion = 1;
    EXPECT_EQ(httpRequest("http://a.kestrova.test/utf8", utf8), "\xBF\xC6\xC4\xBF");
    HttpOptions big5;
    big5.conversion = 2;
    EXPECT_EQ(httpRequest("http://a.kestrova.test/big5", big5), toGbk("驾车"));
    HttpOptions raw;
    EXPECT_EQ(httpRequest("http://a.kestrova.test/big5", raw), "\xBE\x72\xA8\xAE");
}

TEST_F(HttpClientTest, FetchIsAPlainHttp10Get)
{
    RecordingServer server([](const RawRequest&) { return RecordingServer::answer("page"); });
    route(server);
    storeCookiesFromHeaders("profile.kestrova.test", "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\n\r\n");
    EXPECT_EQ(httpFetch("http://profile.kestrova.test/8016"), "page");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].head, "GET /8016 HTTP/1.0\r\n"
                                "Host: profile.kestrova.test\r\n"
                                "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                                "Accept: */*\r\n\r\n");
}

TEST_F(HttpClientTest, ExplicitPortReachesTheServerWithoutGateway)
{
    RecordingServer server([](const RawRequest&) { return RecordingServer::answer("direct"); });
    setGateway("");
    EXPECT_EQ(httpRequest("127.0.0.1:" + std::to_string(server.port()) + "/x"), "direct");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].hasHeaderLine("Host: 127.0.0.1:" + std::to_string(server.port())));
}

} // namespace
