// The transport and the router: virtual hosts, limits, malformed requests, keep-alive, the music
// port, and a graceful stop that lets a request in flight finish.
#include "StackFixture.h"
#include "http/Pages.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace kestrova::test {
namespace {

using namespace kestrova::services;

std::string get(const std::string& host, const std::string& target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
}

TEST(Transport, UnknownHostsAndPathsAre404)
{
    TestStack stack;
    const std::pair<std::string, std::string> cases[] = {
        {"nowhere.test", "/"},
        {"", "/"},
        {"account.kestrova.test", "/"},
        {"account.kestrova.test", "/kestrova/nothing.asp"},
        {"tiku.kestrova.test", "/test/other.asp"},
        {"www.kestrova-community.com", "/ke2/sxqk/"},
        {"profile.kestrova.test", "/9999"},
    };
    for (const auto& [host, target] : cases)
        EXPECT_EQ(statusOf(rawExchange(stack.port(), get(host, target))), 404) << host << target;
    // Host names are matched ignoring case and port.
    EXPECT_EQ(statusOf(rawExchange(stack.port(), get("PROFILE.Kestrova.test:8460", "/8016"))), 200);
}

TEST(Transport, OversizedAndMalformedRequests)
{
    TestStack stack;
    const std::string big = "POST /ke1/lt/asp.asp HTTP/1.1\r\nHost: "
                            "www.kestrova-community.com\r\nContent-Length: 100000\r\n\r\n" +
                            std::string(100000, 'x');
    EXPECT_EQ(statusOf(rawExchange(stack.port(), big)), 413);
    EXPECT_EQ(statusOf(rawExchange(stack.port(), get("tiku.kestrova.test",
                                                     "/test/2013abcd/ajax.asp?r=" + std::string(5000, 'a')))),
              414);
    EXPECT_EQ(statusOf(rawExchange(stack.port(), "GARBAGE\r\n\r\n")), 400);
    EXPECT_EQ(statusOf(rawExchange(stack.port(), "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " +
                                                     std::string(20000, 'h') + "\r\n\r\n")),
              431);
    // Error pages say what went wrong, in GBK.
    const std::string tooLong = rawExchange(stack.port(), big);
    EXPECT_NE(utf8(tooLong).find("提交的内容太长"), std::string::npos);
}

TEST(Transport, KeepAliveAnswersSeveralRequestsOnOneConnection)
{
    TestStack stack;
    const std::string first = "GET /zxrs/ HTTP/1.1\r\nHost: www.kestrova-community.com\r\n\r\n";
    const std::string response =
        rawExchange(stack.port(), first + get("www.kestrova-community.com", "/zxrs/"));
    std::size_t count = 0;
    for (std::size_t at = response.find("HTTP/1.1 200"); at != std::string::npos;
         at = response.find("HTTP/1.1 200", at + 1))
        ++count;
    EXPECT_EQ(count, 2u);
}

TEST(Transport, ExpectContinueGetsTheGoAhead)
{
    TestStack stack;
    const std::string body = "id=hello&us=me";
    const std::string response = rawExchange(
        stack.port(),
        "POST /ke1/lt/asp.asp HTTP/1.1\r\nHost: www.kestrova-community.com\r\nExpect: 100-continue\r\n"
        "Connection: close\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_TRUE(response.starts_with("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200")) << response;
    EXPECT_EQ(stack.store().recentChatLines(1, 0, 10).size(), 1u);
}

TEST(Transport, MusicPortServesTheMusicHostOnly)
{
    TestStack stack;
    EXPECT_EQ(statusOf(rawExchange(stack.musicPort(), get("account.kestrova.test",
                                                          "/kestrova/index.asp?xAction=xReadNews&NewsID=1"))),
              404);
    EXPECT_EQ(statusOf(rawExchange(stack.port(), get("account.kestrova.test",
                                                     "/kestrova/index.asp?xAction=xReadNews&NewsID=1"))),
              200);
}

TEST(Transport, StopLetsARequestInFlightFinish)
{
    std::atomic<bool> entered{false};
    ServerOptions options;
    options.ports = {0};
    Server server(
        [&](const Request&) {
            entered = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return Response::page("finished");
        },
        options);
    ASSERT_EQ(server.start(), "");
    const unsigned short port = server.ports()[0];
    auto answer = std::async(std::launch::async, [port] { return rawExchange(port, get("x", "/")); });
    while (!entered)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    server.stop();
    const std::string response = answer.get();
    EXPECT_EQ(statusOf(response), 200);
    EXPECT_NE(response.find("finished"), std::string::npos);
    // No longer accepting.
    EXPECT_EQ(rawExchange(port, get("x", "/")), "");
}

TEST(Transport, AFailingHandlerAnswers500AndTheServerGoesOn)
{
    ServerOptions options;
    options.ports = {0};
    std::atomic<int> calls{0};
    Server server(
        [&](const Request&) -> Response {
            if (calls++ == 0)
                throw std::runtime_error("boom");
            return Response::page("ok");
        },
        options);
    ASSERT_EQ(server.start(), "");
    EXPECT_EQ(statusOf(rawExchange(server.ports()[0], get("x", "/"))), 500);
    EXPECT_EQ(statusOf(rawExchange(server.ports()[0], get("x", "/"))), 200);
}

TEST(FormReading, OrderedValuesKeepTypedSeparators)
{
    static constexpr std::string_view kKeys[] = {"UserName", "Passwd", "Submit"};
    const auto values = orderedFormValues("UserName=a&b&Passwd=x=y&z&Submit=%B5", kKeys);
    ASSERT_TRUE(values);
    EXPECT_EQ((*values)[0], "a&b");
    EXPECT_EQ((*values)[1], "x=y&z");
    EXPECT_EQ((*values)[2], "%B5");
    EXPECT_FALSE(orderedFormValues("Passwd=x&UserName=a&Submit=", kKeys));
    EXPECT_EQ(percentDecode("%61%62+c"), "ab c");
    EXPECT_FALSE(percentDecode("%6"));
    EXPECT_FALSE(percentDecode("%zz"));
}

TEST(Encoding, CharactersGbkLacksBecomeReferences)
{
    EXPECT_EQ(utf8ToGbkHtml("a😀b"), "a&#128512;b");
    EXPECT_EQ(utf8ToGbkHtml("中"), gbk("中"));
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));     // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80")); // surrogate
    EXPECT_TRUE(isValidUtf8("中文😀"));
}

} // namespace
} // namespace kestrova::test
