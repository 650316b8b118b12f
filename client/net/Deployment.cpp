#include "Deployment.h"

#include "HttpClient.h"

#include <cstdlib>
#include <mutex>
#include <string>

namespace kestrova::net {
namespace {

namespace d = kestrova::deployment;

std::string valueOf(const d::DefaultValue& value, const char* (*lookup)(const char*))
{
    if (lookup) {
        const std::string name = "KESTROVA_" + std::string(value.envName);
        if (const char* set = lookup(name.c_str()))
            return set;
    }
    return std::string(value.value);
}

std::mutex g_mutex;
Deployment* g_current = nullptr;

const char* processEnv(const char* name)
{
    return std::getenv(name);
}

} // namespace

Deployment Deployment::fromEnvironment(const char* (*lookup)(const char*))
{
    Deployment v;
    v.accountHostUrl = valueOf(d::kAccountHostUrl, lookup);
    v.profileBaseUrl = valueOf(d::kProfileBaseUrl, lookup);
    v.profileDomain = valueOf(d::kProfileDomain, lookup);
    v.profileNumber = valueOf(d::kProfileNumber, lookup);
    v.bankHostHead = valueOf(d::kBankHostHead, lookup);
    v.bankHostTail = valueOf(d::kBankHostTail, lookup);
    v.speechHostHead = valueOf(d::kSpeechHostHead, lookup);
    v.speechHostTail = valueOf(d::kSpeechHostTail, lookup);
    v.speechAccountId = valueOf(d::kSpeechAccountId, lookup);
    v.musicUrl = valueOf(d::kMusicUrl, lookup);
    v.makerSiteUrl = valueOf(d::kMakerSiteUrl, lookup);
    v.tutorialUrl = valueOf(d::kTutorialUrl, lookup);
    v.messengerScheme = valueOf(d::kMessengerScheme, lookup);
    v.serviceNumber = valueOf(d::kServiceNumber, lookup);
    v.wallpaperUrl = valueOf(d::kWallpaperUrl, lookup);
    v.placeholderEmail = valueOf(d::kPlaceholderEmail, lookup);
    v.instanceMarker = valueOf(d::kInstanceMarker, lookup);
    v.caBundle = valueOf(d::kCaBundle, lookup);
    v.gateway = valueOf(d::kGateway, lookup);
    return v;
}

Deployment Deployment::defaults()
{
    return fromEnvironment(nullptr);
}

const Deployment& deployment()
{
    std::scoped_lock lock(g_mutex);
    if (!g_current) {
        // Lives for the whole run; never freed so that late readers at exit stay valid.
        g_current = new Deployment(Deployment::fromEnvironment(&processEnv));
    }
    return *g_current;
}

void setDeployment(const Deployment& values)
{
    {
        std::scoped_lock lock(g_mutex);
        if (!g_current)
            g_current = new Deployment(values);
        else
            *g_current = values;
    }
    setGateway(values.gateway);
}

} // namespace kestrova::net
