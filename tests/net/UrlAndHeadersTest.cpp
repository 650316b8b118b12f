#include "net/HttpClient.h"

#include <gtest/gtest.h>

using namespace kestrova::net;

namespace {

struct UrlCase
{
    const char* name;
    std::string url;
    std::string host;
    std::string path;
    std::string port;
};

void PrintTo(const UrlCase& c, std::ostream* out)
{
    *out << c.name;
}

class SplitUrlTest : public testing::TestWithParam<UrlCase>
{
};

TEST_P(SplitUrlTest, TakesHostPathAndPort)
{
    const UrlCase& c = GetParam();
    const UrlParts parts = splitUrl(c.url);
    EXPECT_EQ(parts.host, c.host);
    EXPECT_EQ(parts.path, c.path);
    EXPECT_EQ(parts.port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitUrlTest,
    testing::Values(UrlCase{"noScheme", "tiku.kestrova.test/test/ajax.asp?r=&index=5", "tiku.kestrova.test",
                            "/test/ajax.asp?r=&index=5", "80"},
                    UrlCase{"upperCaseHostPortNoPath", "http://Account.EXAMPLE.test:8080",
                            "account.example.test", "/", "8080"},
                    UrlCase{"plain", "http://a.test/x/y", "a.test", "/x/y", "80"},
                    UrlCase{"queryWithSlashes", "http://a.test/p?u=http://b.test/", "a.test",
                            "/p?u=http://b.test/", "80"},
                    UrlCase{"portAndPath", "http://music.test:8888/DJbox.swf", "music.test", "/DJbox.swf",
                            "8888"},
                    UrlCase{"secureDefaultsTo443", "https://a.test/s", "a.test", "/s", "443"},
                    UrlCase{"securePort", "https://a.test:8443/s", "a.test", "/s", "8443"}),
    [](const testing::TestParamInfo<UrlCase>& info) { return info.param.name; });

TEST(SplitUrl, PutsHttpInFrontOfAUrlWithoutScheme)
{
    EXPECT_EQ(splitUrl("a.test/x").url, "http://a.test/x");
    EXPECT_EQ(splitUrl("http://a.test/x").url, "http://a.test/x");
    // Only the exact lower-case scheme counts as one.
    EXPECT_EQ(splitUrl("HTTP://a.test/x").url, "http://HTTP://a.test/x");
}

const std::string kAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

struct HeaderCase
{
    const char* name;
    std::string callerBlock;
    bool post;
    std::string postData;
    std::string cookies;
    std::string expected;
};

void PrintTo(const HeaderCase& c, std::ostream* out)
{
    *out << c.name;
}

class CompleteHeadersTest : public testing::TestWithParam<HeaderCase>
{
};

TEST_P(CompleteHeadersTest, AddsDefaultsInOrder)
{
    const HeaderCase& c = GetParam();
    EXPECT_EQ(completeHeaders(c.callerBlock, c.post, c.postData, c.cookies), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompleteHeadersTest,
    testing::Values(
        HeaderCase{"getDefaults", "", false, "", "", kAccept + "Accept-Language: zh-cn\r\n"},
        HeaderCase{"acceptLanguageSuppressesBoth", "Accept-Language: en\r\n", false, "", "",
                   "Accept-Language: en\r\n"},
        HeaderCase{"acceptOnlyGetsLanguage", "accept: */*\r\n", false, "", "",
                   "accept: */*\r\nAccept-Language: zh-cn\r\n"},
        HeaderCase{"getIgnoresCookies", "", false, "", "sid=1", kAccept + "Accept-Language: zh-cn\r\n"},
        HeaderCase{"postWithBody", "", true, "a=1", "sid=1",
                   kAccept + "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                             "Content-Length: 3\r\nCookie: sid=1\r\n\r\n"},
        HeaderCase{"postKeepsCallersContentType", "Content-Type: text/plain\r\n", true, "abcd", "",
                   "Content-Type: text/plain\r\n" + kAccept +
                       "Accept-Language: zh-cn\r\nContent-Length: 4\r\n"},
        HeaderCase{"postWithoutBodyAddsNothing", "", true, "", "sid=1",
                   kAccept + "Accept-Language: zh-cn\r\n"}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

TEST(ChooseUserAgent, TakesTheCallersTrimmedValueOrTheDefault)
{
    EXPECT_EQ(chooseUserAgent("User-Agent:   Kestrova/1  \r\n"), "Kestrova/1");
    EXPECT_EQ(chooseUserAgent("X: y\r\nUser-Agent: a b\r\nZ: 1\r\n"), "a b");
    // Named only in another case: the exact text is missing, so the agent is empty.
    EXPECT_EQ(chooseUserAgent("user-agent: lower\r\n"), "");
    // No line end after the value.
    EXPECT_EQ(chooseUserAgent("User-Agent: cut"), "");
    EXPECT_EQ(chooseUserAgent(""),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
              ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)");
}

} // namespace
