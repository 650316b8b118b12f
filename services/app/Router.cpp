#include "Router.h"

#include "http/Pages.h"

#include <kestrova/DeploymentDefaults.h>

#ifdef KESTROVA_HAVE_SPEECH
#include "speech/SpeechService.h"
#endif
#ifdef KESTROVA_HAVE_MEDIA
#include "media/MediaService.h"
#endif

namespace kestrova::services {

#ifndef KESTROVA_HAVE_SPEECH
class SpeechService
{
};
#endif
#ifndef KESTROVA_HAVE_MEDIA
class MediaService
{
};
#endif

namespace stack = kestrova::deployment::stack;

Router::Router(Store& store, RouterOptions options)
    : m_account(store, options.account), m_bank(store), m_community(store, options.community)
{
#ifdef KESTROVA_HAVE_SPEECH
    if (options.withSpeech)
        m_speech = std::make_unique<SpeechService>();
#endif
#ifdef KESTROVA_HAVE_MEDIA
    if (options.withMedia)
        m_media = std::make_unique<MediaService>();
#endif
    (void)options;
}

Router::~Router() = default;

bool isSlowRequest(const Request& request)
{
    return request.method == "POST" && request.host == stack::kAccountHost;
}

// A failing database (StoreError) reaches the transport, which logs it and answers 500.
Response Router::handle(const Request& request)
{
    return dispatch(request);
}

Response Router::dispatch(const Request& request)
{
    const std::string_view host = request.host;
    const unsigned short musicPort = m_musicPort;
    if (musicPort != 0 && request.port == musicPort && host != stack::kMusicHost)
        return errorPage(404, "这个端口只提供音乐页面。");

    if (host == stack::kAccountHost)
        return m_account.handle(request);
    if (host == stack::kBankHost)
        return m_bank.handle(request);
    if (host == stack::kProfileHost)
        return m_profile.handle(request);
    if (host == stack::kCommunityHost)
        return m_community.handle(request);
    if (host == stack::kSpeechHost) {
#ifdef KESTROVA_HAVE_SPEECH
        if (m_speech)
            return m_speech->handle(request);
#endif
        return errorPage(503, "语音服务没有启动。");
    }
    if (host == stack::kMusicHost || host == stack::kMakerHost || host == stack::kImageHost) {
#ifdef KESTROVA_HAVE_MEDIA
        if (m_media)
            return m_media->handle(request);
#endif
        return errorPage(503, "这个站点的服务没有启动。");
    }
    return errorPage(404, "没有这个站点：" + std::string(host.empty() ? "(请求没有 Host)" : host));
}

} // namespace kestrova::services
