// The speech service called directly with requests as the client's browser view makes them: the
// page for the client's address, then the audio that page points at.
#include "speech/SpeechService.h"

#include "WavReader.h"
#include "kestrova/DeploymentDefaults.h"
#include "net/TextOps.h"

#include <gtest/gtest.h>
#include <thread>

using namespace kestrova::services;
using kestrova::net::fromGbk;
using kestrova::net::percentEncode;
using kestrova::net::textBetween;
using kestrova::testing::longestSilenceMs;
using kestrova::testing::peakLevel;
using kestrova::testing::readWav;

namespace {

Request get(std::string_view target, std::string method = "GET")
{
    Request request;
    request.method = std::move(method);
    request.target = target;
    const auto question = target.find('?');
    request.path = target.substr(0, question);
    if (question != std::string_view::npos)
        request.query = target.substr(question + 1);
    request.host = kestrova::deployment::stack::kSpeechHost;
    request.port = kestrova::deployment::stack::kMainPort;
    return request;
}

// The address the client builds from its GBK text: the text read as GB2312, converted to UTF-8,
// and every byte written as %XX, after the fixed query.
std::string clientTarget(std::string_view utf8)
{
    const auto gbk = kestrova::net::toGbk(utf8);
    const auto encoded = percentEncode(kestrova::net::convertEncoding(gbk, "GB2312", "UTF-8"));
    EXPECT_EQ(gbk.empty(), encoded.empty()) << utf8;
    return "/sockets/tts.asp?dir=zh&speed=0&B=1&ID=" +
           std::string(kestrova::deployment::kSpeechAccountId.value) +
           "&chr=MiaHead&vc=VW%20Lily&text=" + encoded;
}

// The page for the text, then the WAV its <audio> plays.
Response fetchSpoken(const SpeechService& service, std::string_view utf8)
{
    const auto page = service.handle(get(clientTarget(utf8)));
    EXPECT_EQ(page.status, 200) << fromGbk(page.body);
    const auto audioTag = textBetween(page.body, "<audio", ">");
    EXPECT_NE(audioTag.find("autoplay"), std::string::npos) << page.body;
    const auto source = textBetween(audioTag, "src=\"", "\"");
    EXPECT_FALSE(source.empty()) << page.body;
    return service.handle(get(source));
}

SpeechOptions options(auto change)
{
    SpeechOptions options;
    change(options);
    return options;
}

} // namespace

TEST(SpeechService, PagePlaysAWavOfPlausibleLength)
{
    const SpeechService service;
    const std::string text = "恭喜你 回答正确###请继续下一题";
    const auto page = service.handle(get(clientTarget(text)));
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=gbk");
    EXPECT_NE(fromGbk(page.body).find("恭喜你"), std::string::npos);

    const auto audio = fetchSpoken(service, text);
    ASSERT_EQ(audio.status, 200);
    EXPECT_EQ(audio.contentType, "audio/wav");
    const auto wav = readWav(audio.body);
    ASSERT_EQ(wav.error, "");
    EXPECT_EQ(wav.channels, 1);
    EXPECT_GE(wav.sampleRate, 16000);
    // 13 spoken characters and a pause of three marks: between a fast and a very slow reading.
    EXPECT_GT(wav.seconds(), 13 * 0.12 + 0.75);
    EXPECT_LT(wav.seconds(), 13 * 0.8 + 0.75);
    EXPECT_GT(peakLevel(wav), 2000) << "the speech is audible";
}

TEST(SpeechService, RunsOfHashArePausesNotSpokenSigns)
{
    const SpeechService service;
    struct Case
    {
        std::string text;
        double minSilenceMs;
        double maxSilenceMs;
    };
    const Case cases[] = {
        {"你好再见", 0, 200},
        {"你好#再见", 230, 600},
        {"你好###再见", 730, 1100},
        {"你好" + std::string(20, '#') + "再见", 1980, 2400}, // long runs stop at eight marks
    };
    for (const auto& c : cases) {
        const auto wav = readWav(fetchSpoken(service, c.text).body);
        ASSERT_EQ(wav.error, "") << c.text;
        EXPECT_GE(longestSilenceMs(wav), c.minSilenceMs) << c.text;
        EXPECT_LE(longestSilenceMs(wav), c.maxSilenceMs) << c.text;
    }

    // Marks alone are silence of their length; the sign is never read out.
    const auto marksOnly = readWav(fetchSpoken(service, "###").body);
    ASSERT_EQ(marksOnly.error, "");
    EXPECT_EQ(peakLevel(marksOnly), 0);
    EXPECT_NEAR(marksOnly.seconds(), 0.75, 0.01);
}

TEST(SpeechService, SameTextIsSynthesisedOnce)
{
    const SpeechService service;
    const auto first = fetchSpoken(service, "本题已答题##请继续下一题！");
    EXPECT_EQ(service.stats().synthesised, 1u);
    EXPECT_EQ(service.stats().cacheHits, 1u) << "the page's synthesis serves its WAV";

    const auto second = fetchSpoken(service, "本题已答题##请继续下一题！");
    EXPECT_EQ(service.stats().synthesised, 1u);
    EXPECT_EQ(service.stats().cacheHits, 3u);
    EXPECT_EQ(first.body, second.body);
}

TEST(SpeechService, CacheDropsTheLeastRecentlyUsedTextWhenFull)
{
    std::size_t sizeA = 0;
    std::size_t sizeB = 0;
    {
        const SpeechService measuring;
        sizeA = measuring.handle(get("/sockets/tts.wav?text=" + percentEncode("一"))).body.size();
        sizeB = measuring.handle(get("/sockets/tts.wav?text=" + percentEncode("二"))).body.size();
    }
    // Room for either text alone but not both (synthesis lengths vary by a few samples per run).
    const auto room = (sizeA + sizeB) * 3 / 4;
    const SpeechService service(options([&](SpeechOptions& o) { o.cacheBytes = room; }));
    const auto speak = [&](std::string_view text) {
        EXPECT_EQ(service.handle(get("/sockets/tts.wav?text=" + percentEncode(text))).status, 200);
    };
    speak("一");
    speak("二"); // pushes out 一
    EXPECT_EQ(service.stats().cachedTexts, 1u);
    EXPECT_LE(service.stats().cachedBytes, room);
    speak("一"); // made again, pushes out 二
    EXPECT_EQ(service.stats().synthesised, 3u);
    speak("一");
    EXPECT_EQ(service.stats().synthesised, 3u);
    EXPECT_EQ(service.stats().cacheHits, 1u);
}

TEST(SpeechService, EmptyTextAnswersAPageWithoutAudio)
{
    const SpeechService service;
    const auto page = service.handle(get(clientTarget("")));
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body.find("<audio"), std::string::npos);
    EXPECT_EQ(service.stats().synthesised, 0u);
}

TEST(SpeechService, BadRequestsAreRefusedWithAClearPage)
{
    const SpeechService service(options([](SpeechOptions& o) { o.maxTextChars = 20; }));
    struct Case
    {
        std::string target;
        std::string method;
        int status;
        std::string says; // UTF-8 fragment of the page
    };
    const std::string prefix = "/sockets/tts.asp?dir=zh&speed=0&B=1&ID=201308&chr=MiaHead&vc=VW%20Lily";
    const Case cases[] = {
        {prefix, "GET", 400, "没有 text 参数"},
        {prefix + "&text=%E4%BD", "GET", 400, "UTF-8"},
        {prefix + "&text=%FF%FE", "GET", 400, "UTF-8"},
        {prefix + "&text=%ZZ", "GET", 400, "百分号编码"},
        {prefix + "&text=" + percentEncode(std::string(21, 'a')), "GET", 414, "最多 20 个字，收到 21 个字"},
        {prefix + "&text=" + percentEncode("一二三四五六七八九十一二三四五六七八九十一"), "GET", 414, "太长"},
        {"/sockets/tts.wav?text=%C0%AF", "GET", 400, "UTF-8"},
        {"/sockets/other.asp?text=%61", "GET", 404, "没有这个地址"},
        {"/", "GET", 404, "没有这个地址"},
        {prefix + "&text=%61", "POST", 405, "只接受 GET"},
    };
    for (const auto& c : cases) {
        const auto response = service.handle(get(c.target, c.method));
        EXPECT_EQ(response.status, c.status) << c.target;
        EXPECT_EQ(response.contentType, "text/html; charset=gbk") << c.target;
        EXPECT_NE(fromGbk(textBetween(response.body, "<p id=\"error\">", "</p>")).find(c.says),
                  std::string::npos)
            << c.target << "\n"
            << fromGbk(response.body);
    }
    EXPECT_EQ(service.stats().synthesised, 0u);

    // The limit counts characters, not bytes: twenty Chinese characters (60 bytes) are fine.
    EXPECT_EQ(fetchSpoken(service, "一二三四五六七八九十一二三四五六七八九十").status, 200);
}

TEST(SpeechService, UnavailableVoiceOrFullQueueAnswers503)
{
    const SpeechService noVoice(options([](SpeechOptions& o) { o.voice = "no-such-voice"; }));
    const auto refused = noVoice.handle(get(clientTarget("你好")));
    EXPECT_EQ(refused.status, 503);
    EXPECT_NE(fromGbk(refused.body).find("no-such-voice"), std::string::npos);

    const SpeechService noRoom(options([](SpeechOptions& o) { o.maxPending = 0; }));
    const auto busy = noRoom.handle(get(clientTarget("你好")));
    EXPECT_EQ(busy.status, 503);
    EXPECT_NE(fromGbk(busy.body).find("繁忙"), std::string::npos);

    // The shared engine recovers the right voice for the next service.
    const SpeechService normal;
    EXPECT_EQ(readWav(fetchSpoken(normal, "你好").body).error, "");
}

TEST(SpeechService, ConcurrentRequestsFromTwoServicesAreAllAnswered)
{
    // libespeak-ng crashes when two threads synthesise at once; every request here goes through
    // the one worker, whichever service instance takes it.
    const SpeechService services[2];
    const std::vector<std::string> texts = {"第一题", "第二题", "第三题", "请选择正确答案", "考试时间已到"};
    std::vector<std::vector<Response>> answers(8);
    {
        std::vector<std::jthread> threads;
        for (std::size_t t = 0; t < answers.size(); ++t) {
            threads.emplace_back([&, t] {
                for (const auto& text : texts)
                    answers[t].push_back(fetchSpoken(services[t % 2], text));
            });
        }
    }
    for (const auto& perThread : answers) {
        ASSERT_EQ(perThread.size(), texts.size());
        for (const auto& audio : perThread) {
            EXPECT_EQ(audio.status, 200);
            const auto wav = readWav(audio.body);
            EXPECT_EQ(wav.error, "");
            EXPECT_GT(wav.seconds(), 0.3);
        }
    }
    // In-flight sharing and the cache: each service made each text once.
    EXPECT_EQ(services[0].stats().synthesised, texts.size());
    EXPECT_EQ(services[1].stats().synthesised, texts.size());
}
