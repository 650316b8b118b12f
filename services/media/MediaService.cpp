#include "MediaService.h"

#include "EmbeddedAssets.h"
#include "Melody.h"
#include "http/Pages.h"
#include "http/Wav.h"
#include "kestrova/DeploymentDefaults.h"
#include "net/TextOps.h"

#include <cstdint>

namespace kestrova::services {
namespace {

namespace stack = deployment::stack;

// The path part of one of the client's deployment addresses, so that the stack serves exactly the
// address the client asks for.
constexpr std::string_view pathOf(std::string_view url)
{
    const auto scheme = url.find("://");
    const auto slash = url.find('/', scheme == std::string_view::npos ? 0 : scheme + 3);
    return slash == std::string_view::npos ? std::string_view("/") : url.substr(slash);
}

constexpr std::string_view kPlayerPath = pathOf(deployment::kMusicUrl.value);
constexpr std::string_view kWallpaperPath = pathOf(deployment::kWallpaperUrl.value);
constexpr std::string_view kHomePath = pathOf(deployment::kMakerSiteUrl.value);
constexpr std::string_view kTutorialPath = pathOf(deployment::kTutorialUrl.value);

struct Theme
{
    std::string wav;
    std::string error; // UTF-8; empty when wav is set
};

// Rendering takes a moment and the score is built in, so it is done once for the whole process.
const Theme& theme()
{
    static const Theme rendered = [] {
        Theme t;
        const auto parsed = media::parseScore(media::assets::kThemeScore);
        if (!parsed.error.empty())
            t.error = "乐谱有误（" + parsed.error + "）";
        else {
            const auto samples = media::renderScore(parsed.score, MediaService::kThemeSampleRate);
            t.wav = encodeWav(samples.data(), samples.size(), MediaService::kThemeSampleRate);
        }
        return t;
    }();
    return rendered;
}

Response messagePage(int status, std::string_view heading, std::string_view message)
{
    const auto html = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>Kestrova - " +
                      std::string(heading) + "</title></head>\n<body>\n<h1>" + std::string(heading) +
                      "</h1>\n<p id=\"error\">" + htmlEscape(message) + "</p>\n</body></html>\n";
    return Response::page(net::toGbk(html), status);
}

Response notFound(const Request& request)
{
    return messagePage(404, "找不到页面", "这个网站上没有 " + request.path + " 这个页面。");
}

Response cachedBytes(std::string_view body, std::string contentType)
{
    auto response = Response::bytes(std::string(body), std::move(contentType));
    response.headers.push_back({"Cache-Control", "public, max-age=86400"});
    return response;
}

std::string fillIn(std::string text)
{
    const std::pair<std::string_view, std::string_view> values[] = {
        {"{{SERVICE_NUMBER}}", deployment::kServiceNumber.value},
        {"{{MAKER_SITE_URL}}", deployment::kMakerSiteUrl.value},
        {"{{TUTORIAL_URL}}", deployment::kTutorialUrl.value},
        {"{{WALLPAPER_URL}}", deployment::kWallpaperUrl.value},
    };
    for (const auto& [key, value] : values) {
        for (auto pos = text.find(key); pos != std::string::npos; pos = text.find(key, pos + value.size()))
            text.replace(pos, key.size(), value);
    }
    return text;
}

const char kPlayerHtml[] = R"(<!DOCTYPE html>
<html><head><meta charset="gbk"><title>Kestrova 背景音乐</title></head>
<body style="margin:0;background:#17324d;color:#dde9f4">
<audio id="music" src="/kestrova-theme.wav" autoplay loop controls></audio>
<p>Kestrova 主题曲，本程序原创合成。</p>
<script>
var music = document.getElementById("music");
var playing = music.play();
if (playing && playing.catch) playing.catch(function () {});
</script>
</body></html>
)";

} // namespace

MediaService::MediaService()
{
    theme();
    // Strict conversion: a character without a GBK form is a mistake in our own page, not
    // something to turn silently into "?".
    const auto toGbkStrict = [this](std::string_view utf8, std::string_view name) {
        auto gbk = net::convertEncoding(utf8, "UTF-8", "GBK");
        if (gbk.empty())
            m_pageError += std::string(name) + " 含有 GBK 无法表示的字符。";
        return gbk;
    };
    m_playerPage = toGbkStrict(kPlayerHtml, "播放页");
    m_homePage = toGbkStrict(fillIn(std::string(media::assets::kHomePage)), "首页");
    m_tutorialPage = toGbkStrict(fillIn(std::string(media::assets::kTutorialPage)), "使用教程");
}

Response MediaService::handle(const Request& request) const
{
    if (request.method != "GET" && request.method != "HEAD") {
        auto refused = messagePage(405, "不支持的请求", "这个网站只接受 GET 请求。");
        refused.headers.push_back({"Allow", "GET, HEAD"});
        return refused;
    }
    if (request.host == stack::kMusicHost)
        return music(request);
    if (request.host == stack::kImageHost)
        return image(request);
    if (request.host == stack::kMakerHost)
        return site(request);
    return messagePage(404, "找不到网站", "这台服务器上没有网站 " + request.host + "。");
}

Response MediaService::music(const Request& request) const
{
    if (request.path != kPlayerPath && request.path != kThemePath)
        return notFound(request);
    const auto& rendered = theme();
    if (!rendered.error.empty())
        return messagePage(500, "背景音乐暂不可用", rendered.error);
    if (request.path == kThemePath)
        return cachedBytes(rendered.wav, "audio/wav");
    if (m_playerPage.empty())
        return messagePage(500, "背景音乐暂不可用", m_pageError);
    return Response::page(m_playerPage);
}

Response MediaService::image(const Request& request) const
{
    if (request.path != kWallpaperPath)
        return notFound(request);
    return cachedBytes(media::assets::kWallpaperJpeg, "image/jpeg");
}

Response MediaService::site(const Request& request) const
{
    const std::string* page = nullptr;
    if (request.path == kHomePath)
        page = &m_homePage;
    else if (request.path == kTutorialPath)
        page = &m_tutorialPage;
    else
        return notFound(request);
    if (page->empty())
        return messagePage(500, "页面暂不可用", m_pageError);
    return Response::page(*page);
}

} // namespace kestrova::services
