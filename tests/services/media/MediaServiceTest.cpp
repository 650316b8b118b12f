// The media hosts called directly with the requests the client's browser views make.
#include "media/MediaService.h"

#include "kestrova/DeploymentDefaults.h"
#include "net/TextOps.h"
#include "speech/WavReader.h"

#include <gtest/gtest.h>

using namespace kestrova::services;
namespace stack = kestrova::deployment::stack;
using kestrova::net::convertEncoding;
using kestrova::net::fromGbk;
using kestrova::net::textBetween;
using kestrova::testing::peakLevel;
using kestrova::testing::readWav;

namespace {

Request get(std::string_view host, std::string_view target, unsigned short port = stack::kMainPort,
            std::string method = "GET")
{
    Request request;
    request.method = std::move(method);
    request.target = target;
    request.path = target.substr(0, target.find('?'));
    request.host = host;
    request.port = port;
    return request;
}

// The path of one of the client's deployment addresses.
std::string pathOf(std::string_view url)
{
    return std::string(url.substr(url.find('/', url.find("://") + 3)));
}

const MediaService& service()
{
    static const MediaService instance;
    return instance;
}

struct JpegSize
{
    int width = 0;
    int height = 0;
    std::string error;
};

// Walks the JPEG segments up to the frame header, as a decoder would.
JpegSize readJpegSize(std::string_view bytes)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return {0, 0, "no start-of-image marker"};
    if (byte(bytes.size() - 2) != 0xFF || byte(bytes.size() - 1) != 0xD9)
        return {0, 0, "no end-of-image marker"};
    for (std::size_t pos = 2; pos + 4 <= bytes.size();) {
        if (byte(pos) != 0xFF)
            return {0, 0, "segment does not start with 0xFF"};
        const int marker = byte(pos + 1);
        const std::size_t length = byte(pos + 2) << 8 | byte(pos + 3);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && pos + 9 <= bytes.size())
            return {byte(pos + 7) << 8 | byte(pos + 8), byte(pos + 5) << 8 | byte(pos + 6), {}};
        pos += 2 + length;
    }
    return {0, 0, "no frame header"};
}

} // namespace

TEST(MediaService, MusicPageLoopsOurThemeOnBothPorts)
{
    const auto musicPath = pathOf(kestrova::deployment::kMusicUrl.value);
    ASSERT_EQ(musicPath, "/DJbox2010_YY.swf");
    for (const auto port : {stack::kMusicPort, stack::kMainPort}) {
        const auto page = service().handle(get(stack::kMusicHost, musicPath, port));
        ASSERT_EQ(page.status, 200) << port;
        EXPECT_EQ(page.contentType, "text/html; charset=gbk");
        const auto audioTag = textBetween(page.body, "<audio", ">");
        EXPECT_NE(audioTag.find("autoplay"), std::string::npos);
        EXPECT_NE(audioTag.find(" loop"), std::string::npos);
        const auto source = textBetween(audioTag, "src=\"", "\"");
        ASSERT_FALSE(source.empty()) << page.body;

        const auto audio = service().handle(get(stack::kMusicHost, source, port));
        ASSERT_EQ(audio.status, 200);
        EXPECT_EQ(audio.contentType, "audio/wav");
        const auto wav = readWav(audio.body);
        ASSERT_EQ(wav.error, "");
        EXPECT_EQ(wav.channels, 1);
        EXPECT_NEAR(wav.seconds(), 64 * 60.0 / 96, 0.01); // the score: 16 bars of 4 beats at 96 bpm
        EXPECT_GT(peakLevel(wav), 20000);
        EXPECT_LT(peakLevel(wav), 32767) << "scaled below full scale, never clipped";
    }
}

TEST(MediaService, WallpaperIsAn800x600Jpeg)
{
    const auto path = pathOf(kestrova::deployment::kWallpaperUrl.value);
    const auto response = service().handle(get(stack::kImageHost, path));
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.contentType, "image/jpeg");
    const auto size = readJpegSize(response.body);
    EXPECT_EQ(size.error, "");
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 600);
    EXPECT_GT(response.body.size(), 10000u) << "a real picture, not a blank";
}

TEST(MediaService, TutorialTeachesTheClient)
{
    const auto path = pathOf(kestrova::deployment::kTutorialUrl.value);
    const auto response = service().handle(get(stack::kMakerHost, path));
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.contentType, "text/html; charset=gbk");
    const auto text = convertEncoding(response.body, "GBK", "UTF-8");
    ASSERT_FALSE(text.empty()) << "the page is valid GBK";
    EXPECT_EQ(fromGbk(textBetween(response.body, "<title>", "</title>")), "Kestrova 驾考理论练习 - 使用教程");

    const char* const mustSay[] = {
        // logging in, registering, recovering a password
        "登录",
        "会员注册成功",
        "密码提示问题",
        "密码重置成功",
        // the three modes and the buttons that drive them
        "顺序模式",
        "随机模式",
        "考试模式",
        "选择模式",
        "提交答案",
        "听解释",
        "本题还未答题！",
        // the exam rules
        "<td>科目一</td><td>100 题</td><td>45 分钟</td><td>每题 1 分</td>",
        "<td>科目四</td><td>50 题</td><td>30 分钟</td><td>每题 2 分</td>",
        "高于 90 分",
        "正好 90 分不合格",
        // speech, chat, music
        "关闭/打开提示声音(下一题生效)",
        "发送信息",
        "上线消息清屏",
        "开启320K高音质DJ",
    };
    for (const auto* phrase : mustSay)
        EXPECT_NE(text.find(phrase), std::string::npos) << phrase;
    EXPECT_NE(text.find(std::string(kestrova::deployment::kServiceNumber.value)), std::string::npos);
    EXPECT_EQ(text.find("{{"), std::string::npos) << "every deployment value filled in";
}

TEST(MediaService, HomePageLinksTheTutorialAndWallpaper)
{
    const auto response = service().handle(get(stack::kMakerHost, "/"));
    ASSERT_EQ(response.status, 200);
    const auto text = fromGbk(response.body);
    EXPECT_NE(text.find("href=\"" + std::string(kestrova::deployment::kTutorialUrl.value) + "\""),
              std::string::npos);
    EXPECT_NE(text.find("src=\"" + std::string(kestrova::deployment::kWallpaperUrl.value) + "\""),
              std::string::npos);
    EXPECT_EQ(text.find("{{"), std::string::npos);
}

TEST(MediaService, UnknownPathsHostsAndMethodsAreRefusedClearly)
{
    struct Case
    {
        std::string host;
        std::string target;
        std::string method;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {std::string(stack::kMusicHost), "/", "GET", 404, "没有 / 这个页面"},
        {std::string(stack::kMusicHost), "/DJbox2010_YY.swf.bak", "GET", 404, "没有 /DJbox2010_YY.swf.bak"},
        {std::string(stack::kMusicHost), "/wallpaper.jpg", "GET", 404, "没有 /wallpaper.jpg"},
        {std::string(stack::kImageHost), "/JC.htm", "GET", 404, "没有 /JC.htm"},
        {std::string(stack::kMakerHost), "/jc.htm", "GET", 404, "没有 /jc.htm"},
        {std::string(stack::kMakerHost), "/<script>", "GET", 404, "没有 /&lt;script&gt; 这个页面"},
        {"unknown.kestrova.test", "/", "GET", 404, "没有网站 unknown.kestrova.test"},
        {std::string(stack::kMakerHost), "/", "POST", 405, "只接受 GET"},
    };
    for (const auto& c : cases) {
        const auto response = service().handle(get(c.host, c.target, stack::kMainPort, c.method));
        EXPECT_EQ(response.status, c.status) << c.host << c.target;
        EXPECT_EQ(response.contentType, "text/html; charset=gbk");
        EXPECT_NE(fromGbk(textBetween(response.body, "<p id=\"error\">", "</p>")).find(c.says),
                  std::string::npos)
            << c.host << c.target << "\n"
            << fromGbk(response.body);
    }
}
