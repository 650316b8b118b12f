#include "SpeechService.h"

#include "SpeechText.h"
#include "http/Pages.h"
#include "net/TextOps.h"

#include <utility>

namespace kestrova::services {
namespace {

using net::toGbk;

// A small GBK page; title and body are UTF-8 here and converted once.
Response page(int status, std::string_view title, std::string_view bodyHtml)
{
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>";
    html += title;
    html += "</title></head>\n<body>\n";
    html += bodyHtml;
    html += "\n</body></html>\n";
    return Response::page(toGbk(html), status);
}

Response refusalPage(int status, std::string_view message)
{
    return page(status, "Kestrova 语音服务 - 出错",
                "<h1>语音服务无法朗读</h1>\n<p id=\"error\">" + htmlEscape(message) + "</p>");
}

} // namespace

SpeechService::SpeechService(SpeechOptions options) : m_options(std::move(options)) {}

SpeechService::Stats SpeechService::stats() const
{
    std::scoped_lock lock(m_mutex);
    return m_stats;
}

SpeechService::Wanted SpeechService::readText(const Request& request) const
{
    Wanted wanted;
    const auto raw = speech::queryValue(request.query, "text");
    if (!raw) {
        wanted.refusal = refusalPage(400, "请求里没有 text 参数：不知道要朗读什么。");
        return wanted;
    }
    auto decoded = speech::decodeSpeechText(*raw);
    if (!decoded.error.empty()) {
        wanted.refusal = refusalPage(400, "text 参数无法读取：" + decoded.error + "。");
        return wanted;
    }
    const auto characters = speech::countCharacters(decoded.utf8);
    if (characters > m_options.maxTextChars) {
        wanted.refusal = refusalPage(414, "要朗读的文字太长：最多 " + std::to_string(m_options.maxTextChars) +
                                            " 个字，收到 " + std::to_string(characters) + " 个字。");
        return wanted;
    }
    wanted.text = std::move(decoded.utf8);
    return wanted;
}

std::shared_ptr<const std::string> SpeechService::cached(const std::string& text) const
{
    const auto found = m_index.find(text);
    if (found == m_index.end())
        return nullptr;
    m_lru.splice(m_lru.begin(), m_lru, found->second);
    ++m_stats.cacheHits;
    return found->second->wav;
}

void SpeechService::remember(const std::string& text, std::shared_ptr<const std::string> wav) const
{
    ++m_stats.synthesised;
    if (m_index.contains(text) || wav->size() > m_options.cacheBytes)
        return;
    m_stats.cachedBytes += wav->size();
    m_lru.push_front(CacheEntry{text, std::move(wav)});
    m_index.emplace(text, m_lru.begin());
    while (m_stats.cachedBytes > m_options.cacheBytes) {
        const auto& oldest = m_lru.back();
        m_stats.cachedBytes -= oldest.wav->size();
        m_index.erase(oldest.text);
        m_lru.pop_back();
    }
    m_stats.cachedTexts = m_lru.size();
}

SpeechService::Audio SpeechService::audioFor(const std::string& text) const
{
    std::shared_future<speech::Synthesis> pending;
    bool ownRequest = false;
    {
        std::scoped_lock lock(m_mutex);
        if (auto wav = cached(text))
            return Audio{std::move(wav), 200, {}};
        // The page and its WAV are asked for moments apart; the second waits for the first's
        // synthesis instead of queueing the same text again.
        if (const auto found = m_inFlight.find(text); found != m_inFlight.end()) {
            pending = found->second;
        } else {
            speech::SynthesisSettings settings{m_options.dataPath, m_options.voice, m_options.wordsPerMinute,
                                               m_options.pauseMsPerMark, m_options.maxPauseMarks};
            pending = speech::SpeechEngine::instance()
                          .synthesize(text, std::move(settings), m_options.maxPending)
                          .share();
            m_inFlight.emplace(text, pending);
            ownRequest = true;
        }
    }

    const bool ready = pending.wait_for(m_options.waitLimit) == std::future_status::ready;
    const speech::Synthesis* result = ready ? &pending.get() : nullptr;
    std::shared_ptr<const std::string> wav;
    if (result && result->ok())
        wav = std::make_shared<const std::string>(result->wav);
    if (ownRequest) {
        // One step: between leaving the in-flight table and entering the cache, another request
        // for the text would find neither and synthesise it again.
        std::scoped_lock lock(m_mutex);
        m_inFlight.erase(text);
        if (wav)
            remember(text, wav);
    }
    if (!result)
        return Audio{nullptr, 503, "语音合成超时，请稍后再试"};
    if (!wav)
        return Audio{nullptr, 503, result->error};
    return Audio{std::move(wav), 200, {}};
}

Response SpeechService::handle(const Request& request) const
{
    const bool isPage = request.path == kPagePath;
    if (!isPage && request.path != kAudioPath)
        return refusalPage(404,
                         "没有这个地址：" + request.path + "。语音服务只有 " + std::string(kPagePath) + "。");
    if (request.method != "GET" && request.method != "HEAD") {
        auto refused = refusalPage(405, "语音服务只接受 GET 请求。");
        refused.headers.push_back({"Allow", "GET, HEAD"});
        return refused;
    }

    auto wanted = readText(request);
    if (wanted.refusal)
        return std::move(*wanted.refusal);

    if (isPage && wanted.text.empty())
        return page(200, "Kestrova 语音服务", "<p id=\"text\">没有要朗读的文字。</p>");

    // The page synthesises too, so that a failure shows on the page and the WAV is cached by the
    // time the browser asks for it.
    auto audio = audioFor(wanted.text);
    if (!audio.wav)
        return refusalPage(audio.status, audio.error);

    if (!isPage) {
        auto response = Response::bytes(*audio.wav, "audio/wav");
        response.headers.push_back({"Cache-Control", "public, max-age=86400"});
        return response;
    }
    const auto source = std::string(kAudioPath) + "?text=" + net::percentEncode(wanted.text);
    return page(200, "Kestrova 语音服务",
                "<audio id=\"speech\" autoplay src=\"" + source + "\"></audio>\n<p id=\"text\">" +
                    htmlEscape(wanted.text) + "</p>");
}

} // namespace kestrova::services
