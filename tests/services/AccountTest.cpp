// The account service and the profile page, driven exactly as the client drives them: requests
// built by concatenation with GBK values unencoded, pages read with the client's markers.
#include "StackFixture.h"

#include <chrono>
#include <gtest/gtest.h>
#include <kestrova/DeploymentDefaults.h>
#include <net/HttpClient.h>
#include <net/ServicePath.h>
#include <net/TextOps.h>
#include <thread>

namespace kestrova::test {
namespace {

using namespace kestrova::services;
namespace stack = kestrova::deployment::stack;
using net::findText;
using net::httpRequest;
using net::textBetween;

const std::string kRoot = "http://account.kestrova.test/" + std::string(stack::kServicePath);
const std::string kNoticeLeft = "break-word\"><br>\r\n";
const std::string kNoticeRight = "    <br></td></tr>";
const std::string kStepSubmit = "&submit=+%B5%BD%CF%C2%D2%BB%B2%BD+";

bool contains(const std::string& page, const std::string& utf8Marker)
{
    return findText(page, gbk(utf8Marker)) > 0;
}

std::string registerUser(const std::string& name, const std::string& password,
                         const std::string& question = "q", const std::string& answer = "a",
                         const std::string& fullName = "f")
{
    const std::string body =
        "username=" + name + "&passwd=" + password + "&passwd2=" + password + "&question=" + question +
        "&answer=" + answer + "&fullname=" + fullName +
        "&sex=%CF%C8%C9%FA&birthyear=000&birthmonth=1&birthday=1&tel=000&email=member@kestrova.test"
        "&content=&cmdOk=+%C8%B7+%B6%A8+";
    return httpRequest(kRoot + "/oth1.asp?xAction=adduser2", 1, body);
}

std::string login(const std::string& name, const std::string& password)
{
    return httpRequest(kRoot + "/oth1.asp?xAction=xChklogin", 1,
                       "UserName=" + name + "&Passwd=" + password + "&Submit=%B5%C7%C2%BC");
}

bool loginAccepted(const std::string& page)
{
    return !page.empty() && !contains(page, "请输入正确的用户名和密码");
}

std::string notice(int id)
{
    const std::string action = id == 8 ? "xreadnews" : "xReadNews";
    return textBetween(httpRequest(kRoot + "/index.asp?xAction=" + action + "&NewsID=" + std::to_string(id)),
                       kNoticeLeft, kNoticeRight);
}

TEST(ProfilePage, TitleCarriesTheServicePathForTheClientsLookup)
{
    TestStack stack;
    EXPECT_EQ(net::lookUpServicePath(std::string(deployment::kProfileNumber.value)), stack::kServicePath);
    EXPECT_TRUE(net::httpFetch("http://profile.kestrova.test/1234").find("kestrova [http") ==
                std::string::npos);
}

TEST(Account, RegisterLoginNoticesAndLogout)
{
    TestStack stack;
    EXPECT_TRUE(contains(registerUser("alice", "pw1"), "会员注册成功"));

    // Before login: public notices, and no chat right.
    const std::string marquee = httpRequest(kRoot + "/index.asp?xAction=xReadNews&NewsID=7");
    EXPECT_FALSE(textBetween(marquee, "<FONT color=>", "</font></marquee></td>").empty());
    EXPECT_FALSE(notice(13).empty());

    ASSERT_TRUE(loginAccepted(login("alice", "pw1")));
    EXPECT_EQ(notice(12), "1");
    EXPECT_EQ(notice(1), stack::kCommunityLabel);
    EXPECT_EQ(notice(8), stack::kSpeechLabel);
    EXPECT_EQ(notice(9), stack::kBankLabel);
    EXPECT_FALSE(notice(10).empty());
    EXPECT_EQ(notice(11), "0");

    // The chat right follows the user's flag for the same session.
    ASSERT_TRUE(stack.store().setChatAdmin("alice", true));
    EXPECT_EQ(notice(11), "1");

    httpRequest(kRoot + "/oth1.asp?xAction=xLogout");
    EXPECT_EQ(notice(11), "0");
    EXPECT_EQ(stack.store().countActiveSessions(0, nowMillis()), 0);
}

TEST(Account, SessionTokenIsStoredOnlyAsDigest)
{
    TestStack stack;
    registerUser("bob", "pw");
    std::string headers;
    net::HttpOptions options;
    options.method = 1;
    options.postData = "UserName=bob&Passwd=pw&Submit=%B5%C7%C2%BC";
    options.responseHeaders = &headers;
    httpRequest(kRoot + "/oth1.asp?xAction=xChklogin", options);
    const std::string token = textBetween(headers, "KestrovaSession=", ";");
    ASSERT_EQ(token.size(), 32u);
    EXPECT_NE(findText(headers, "HttpOnly"), -1);
    EXPECT_TRUE(stack.store().touchSession(tokenDigest(token), nowMillis()).has_value());
    EXPECT_FALSE(stack.store().touchSession(token, nowMillis()).has_value());
}

TEST(Account, PasswordWithAmpersandAndEqualsIsTakenAsTyped)
{
    TestStack stack;
    ASSERT_TRUE(contains(registerUser("carol", "a&b=c"), "会员注册成功"));
    EXPECT_TRUE(loginAccepted(login("carol", "a&b=c")));
    EXPECT_FALSE(loginAccepted(login("carol", "a")));
}

TEST(Account, ChineseNamesAndAnswersInGbk)
{
    TestStack stack;
    ASSERT_TRUE(
        contains(registerUser(gbk("张三"), gbk("密码"), gbk("我的家乡？"), gbk("杭州"), gbk("张三丰")),
                 "会员注册成功"));
    EXPECT_TRUE(loginAccepted(login(gbk("张三"), gbk("密码"))));
    const auto user = stack.store().findUser("张三");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->question, "我的家乡？");
}

TEST(Account, RegistrationRefusals)
{
    TestStack stack;
    ASSERT_TRUE(contains(registerUser("taken", "pw"), "会员注册成功"));
    struct Case
    {
        const char* what;
        std::string name, password, question;
    };
    const Case cases[] = {
        {"taken name", "taken", "pw", "q"},
        {"empty name", "", "pw", "q"},
        {"over-long name", std::string(21, 'n'), "pw", "q"},
        {"empty password", "dave", "", "q"},
        {"over-long password", "dave", std::string(65, 'p'), "q"},
        {"name with a quote", "da've", "pw", "q"},
        {"bytes that are not GBK", "\xff\xff", "pw", "q"},
        {"empty hint question", "dave", "pw", ""},
        {"markup in the hint question", "dave", "pw", "<b>q"},
    };
    for (const Case& c : cases) {
        const std::string page = registerUser(c.name, c.password, c.question);
        EXPECT_FALSE(contains(page, "会员注册成功")) << c.what;
        EXPECT_TRUE(contains(page, "注册失败")) << c.what;
    }
    EXPECT_FALSE(stack.store().findUser("dave"));
    // A name of exactly twenty bytes is fine.
    EXPECT_TRUE(contains(registerUser(std::string(20, 'n'), "pw"), "会员注册成功"));
}

TEST(Account, RefusedLoginsAreSlowedAndThenLocked)
{
    TestStack stack;
    registerUser("erin", "right");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(loginAccepted(login("erin", "wrong")));
    EXPECT_FALSE(loginAccepted(login("nobody", "x")));
    EXPECT_GE(std::chrono::steady_clock::now() - started,
              std::chrono::milliseconds(2)); // each held back 1 ms

    EXPECT_FALSE(loginAccepted(login("erin", "wrong")));
    EXPECT_FALSE(loginAccepted(login("erin", "wrong")));
    // Three failures in a row: the name is locked, even the right password is refused unchecked.
    const std::string locked = login("erin", "right");
    EXPECT_FALSE(loginAccepted(locked));
    EXPECT_TRUE(contains(locked, "失败次数过多"));
    // Other names are not affected.
    registerUser("frank", "pw");
    EXPECT_TRUE(loginAccepted(login("frank", "pw")));

    stack.store().clearFailures("login:erin");
    EXPECT_TRUE(loginAccepted(login("erin", "right")));
}

TEST(Account, MaintenanceNoticeAndUnknownPages)
{
    TestStack stack;
    stack.store().setNews(12, "0", nowMillis());
    EXPECT_EQ(notice(12), "0");
    EXPECT_EQ(notice(2), "");
    EXPECT_TRUE(contains(httpRequest(kRoot + "/index.asp?xAction=xReadNews&NewsID=abc"), "404"));
    EXPECT_TRUE(contains(
        httpRequest("http://account.kestrova.test/other/oth1.asp?xAction=xChklogin", 1, "x=1"), "404"));
}

TEST(Account, MalformedLoginBodiesAreRefusedWithTheRefusalText)
{
    TestStack stack;
    registerUser("gina", "pw");
    for (const std::string body :
         {"", "Passwd=pw&UserName=gina&Submit=x", "UserName=gina", "UserName=\xff&Passwd=pw&Submit=x"})
        EXPECT_FALSE(loginAccepted(httpRequest(kRoot + "/oth1.asp?xAction=xChklogin", 1, body))) << body;
}

TEST(Account, SqlMetacharactersAreJustText)
{
    TestStack stack;
    registerUser("henry", "pw");
    EXPECT_FALSE(loginAccepted(login("' OR '1'='1", "' OR '1'='1")));
    EXPECT_FALSE(loginAccepted(login("henry'--", "x")));
    EXPECT_TRUE(
        contains(registerUser("x", "pw'); DROP TABLE users;--", "q'; DELETE FROM users;--"), "会员注册成功"));
    EXPECT_TRUE(loginAccepted(login("x", "pw'); DROP TABLE users;--")));
    EXPECT_TRUE(stack.store().findUser("henry"));
}

class Recovery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            contains(registerUser(gbk("李四"), "old", gbk("第一辆车的颜色？"), gbk("红色"), gbk("李小四")),
                     "会员注册成功"));
    }

    std::string stepOne(const std::string& name)
    {
        return httpRequest(kRoot + "/index.asp?xAction=getpwd2", 1, "username=" + name + kStepSubmit);
    }
    std::string stepTwo(const std::string& name, const std::string& answer, const std::string& fullName)
    {
        return httpRequest(kRoot + "/index.asp?xAction=getpwd3&xusername=" + name, 1,
                           "answer=" + net::percentEncode(answer) +
                               "&fullname=" + net::percentEncode(fullName) + kStepSubmit);
    }
    std::string stepThree(const std::string& name, const std::string& password)
    {
        return httpRequest(kRoot + "/index.asp?xAction=getpwd4&xusername=" + name, 1,
                           "passwd=" + net::percentEncode(password) + kStepSubmit);
    }

    TestStack m_stack;
};

TEST_F(Recovery, AllThreeSteps)
{
    const std::string unknown = stepOne("nobody");
    EXPECT_FALSE(contains(unknown, "您的真实姓名："));

    const std::string one = stepOne(gbk("李四"));
    ASSERT_TRUE(contains(one, "您的真实姓名："));
    EXPECT_EQ(textBetween(one, "<font color=\"red\">", "</font>"), gbk("第一辆车的颜色？"));

    EXPECT_FALSE(contains(stepTwo(gbk("李四"), gbk("蓝色"), gbk("李小四")), "第三步：重新设置密码。"));
    EXPECT_FALSE(contains(stepTwo(gbk("李四"), gbk("红色"), gbk("李四")), "第三步：重新设置密码。"));
    ASSERT_TRUE(contains(stepTwo(gbk("李四"), gbk("红色"), gbk("李小四")), "第三步：重新设置密码。"));

    EXPECT_TRUE(contains(stepThree(gbk("李四"), "new&pw"), "密码重置成功"));
    EXPECT_TRUE(loginAccepted(login(gbk("李四"), "new&pw")));
    EXPECT_FALSE(loginAccepted(login(gbk("李四"), "old")));
    // The grant is used up.
    EXPECT_FALSE(contains(stepThree(gbk("李四"), "again"), "密码重置成功"));
}

TEST_F(Recovery, StepThreeNeedsAFreshStepTwoForThatName)
{
    EXPECT_FALSE(contains(stepThree(gbk("李四"), "stolen"), "密码重置成功"));
    registerUser("mallory", "pw", "q", "a", "m");
    ASSERT_TRUE(contains(stepTwo("mallory", "a", "m"), "第三步：重新设置密码。"));
    EXPECT_FALSE(contains(stepThree(gbk("李四"), "stolen"), "密码重置成功"));
    EXPECT_TRUE(loginAccepted(login(gbk("李四"), "old")));
}

TEST(RecoveryWindow, AnOldGrantIsRefused)
{
    RouterOptions options = TestStack::defaultOptions();
    options.account.recoveryWindow = std::chrono::milliseconds(1);
    TestStack stack(options);
    registerUser("ivan", "pw", "q", "a", "f");
    ASSERT_TRUE(contains(httpRequest(kRoot + "/index.asp?xAction=getpwd3&xusername=ivan", 1,
                                     "answer=" + net::percentEncode("a") +
                                         "&fullname=" + net::percentEncode("f") + kStepSubmit),
                         "第三步：重新设置密码。"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(contains(httpRequest(kRoot + "/index.asp?xAction=getpwd4&xusername=ivan", 1,
                                      "passwd=" + net::percentEncode("new") + kStepSubmit),
                          "密码重置成功"));
}

TEST(RecoveryWithoutDetails, AccountsMadeWithoutAnswersCannotBeRecovered)
{
    TestStack stack;
    ASSERT_FALSE(createAccount(stack.store(), {"judy", "pw", "", "", ""}, false, false, HashCost::minimal()));
    EXPECT_FALSE(contains(httpRequest(kRoot + "/index.asp?xAction=getpwd3&xusername=judy", 1,
                                      "answer=&fullname=" + kStepSubmit),
                          "第三步：重新设置密码。"));
}

} // namespace
} // namespace kestrova::test
