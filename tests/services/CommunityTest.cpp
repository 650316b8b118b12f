// The community pages: chat posts exactly as the client sends them, the online-messages pages and
// the online count.
#include "StackFixture.h"

#include <gtest/gtest.h>
#include <net/HttpClient.h>
#include <net/TextOps.h>
#include <thread>
#include <vector>

namespace kestrova::test {
namespace {

using namespace kestrova::services;
using net::httpRequest;

const std::string kHost = "http://www.kestrova-community.com";

std::string post(int room, const std::string& message, const std::string& sender = "demo[8-16-9:5:7]\r\n")
{
    return httpRequest(kHost + "/ke" + std::to_string(room) + "/lt/asp.asp", 1,
                       "id=" + message + "&us=" + sender);
}

std::string messagesPage(int room)
{
    return utf8(httpRequest(kHost + "/ke" + std::to_string(room) + "/sxqk/"));
}

TEST(Community, PostedLinesShowEscapedNewestFirstInTheirRoom)
{
    TestStack stack;
    post(1, "第一条");
    post(1, "<script>alert(1)</script>");
    post(4, "科目四的消息");

    const std::string page = messagesPage(1);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    const std::size_t escaped = page.find("&lt;script&gt;alert(1)&lt;/script&gt;");
    const std::size_t first = page.find("第一条");
    ASSERT_NE(escaped, std::string::npos);
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(escaped, first);
    EXPECT_NE(page.find("demo[8-16-9:5:7]"), std::string::npos);
    EXPECT_NE(page.find("id=\"textarea\""), std::string::npos);
    EXPECT_EQ(page.find("科目四的消息"), std::string::npos);
    EXPECT_NE(messagesPage(4).find("科目四的消息"), std::string::npos);
}

TEST(Community, TheMessageRunsToTheFirstSenderMark)
{
    TestStack stack;
    post(1, "a=b&c=d");
    const auto lines = stack.store().recentChatLines(1, 0, 10);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, "a=b&c=d");
    EXPECT_EQ(lines[0].sender, "demo[8-16-9:5:7]");
}

TEST(Community, RefusedPostsStoreNothing)
{
    TestStack stack;
    struct Case
    {
        const char* what;
        std::string body;
    };
    const Case cases[] = {
        {"empty message", "id=&us=demo[1-1-1:1:1]\r\n"},
        {"no sender mark", "id=hello"},
        {"not a chat post", "text=hello&us=x"},
        {"invalid UTF-8", "id=\xff\xfe&us=x"},
        {"over-long message", "id=" + std::string(601, 'x') + "&us=x"},
        {"over-long body", "id=x&us=" + std::string(5000, 'y')},
    };
    for (const Case& c : cases) {
        const std::string answer = httpRequest(kHost + "/ke1/lt/asp.asp", 1, c.body);
        EXPECT_EQ(utf8(answer).find("发送成功"), std::string::npos) << c.what;
    }
    EXPECT_TRUE(stack.store().recentChatLines(1, 0, 10).empty());
    // The limit itself is fine.
    EXPECT_NE(utf8(post(1, std::string(600, 'x'))).find("发送成功"), std::string::npos);
}

TEST(Community, ConcurrentPostsAreAllStored)
{
    TestStack stack;
    std::vector<std::thread> senders;
    for (int i = 0; i < 16; ++i)
        senders.emplace_back([i] { post(4, "line " + std::to_string(i)); });
    for (auto& sender : senders)
        sender.join();
    EXPECT_EQ(stack.store().recentChatLines(4, 0, 100).size(), 16u);
}

TEST(Community, ClearingShowsOnlyNewerLines)
{
    TestStack stack;
    post(1, "old line");
    const auto lines = stack.store().recentChatLines(1, 0, 1);
    ASSERT_EQ(lines.size(), 1u);
    const std::string page = messagesPage(1);
    // The clear element leads to the view of lines after the newest one shown.
    EXPECT_NE(page.find("?after=" + std::to_string(lines[0].id)), std::string::npos);
    post(1, "new line");
    const std::string cleared = utf8(httpRequest(kHost + "/ke1/sxqk/?after=" + std::to_string(lines[0].id)));
    EXPECT_EQ(cleared.find("old line"), std::string::npos);
    EXPECT_NE(cleared.find("new line"), std::string::npos);
}

TEST(Community, OnlineCountIsSessionsSeenInTheLastTenMinutes)
{
    TestStack stack;
    const auto count = [] {
        return net::textBetween(httpRequest(kHost + "/zxrs/"), "id=\"OnlineUser_count_span\">", "</span>");
    };
    EXPECT_EQ(count(), "0");
    auto& store = stack.store();
    ASSERT_TRUE(store.addUser({"u1", "h", "", "", "", false}));
    const auto user = store.findUser("u1");
    const Millis now = nowMillis();
    store.createSession("recent", user->id, now - 60'000, now + 3'600'000);
    store.createSession("idle", user->id, now - 11 * 60'000, now + 3'600'000);
    store.createSession("expired", user->id, now - 1000, now - 1);
    EXPECT_EQ(count(), "1");
    store.touchSession("idle", now);
    EXPECT_EQ(count(), "2");
}

} // namespace
} // namespace kestrova::test
