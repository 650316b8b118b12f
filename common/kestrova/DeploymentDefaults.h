// The deployment values of the local Kestrova installation, shared by the client and the service
// stack so that the addresses one side uses are the addresses the other side serves.
//
// The client reads each value once at start; KESTROVA_<envName> overrides the compiled-in default.
#pragma once

#include <string_view>

namespace kestrova::deployment {

struct DefaultValue
{
    std::string_view envName; // KESTROVA_ + this
    std::string_view value;
};

// Where the client looks for each service. Keep in step with the stack's virtual hosts below.
inline constexpr DefaultValue kAccountHostUrl{"ACCOUNT_HOST_URL", "http://account.kestrova.test/"};
inline constexpr DefaultValue kProfileBaseUrl{"PROFILE_BASE_URL", "http://profile.kestrova.test/"};
inline constexpr DefaultValue kProfileDomain{"PROFILE_DOMAIN", "profile.kestrova.test"};
inline constexpr DefaultValue kProfileNumber{"PROFILE_NUMBER", "8016"};
inline constexpr DefaultValue kBankHostHead{"BANK_HOST_HEAD", "tiku."};
inline constexpr DefaultValue kBankHostTail{"BANK_HOST_TAIL", ".test"};
inline constexpr DefaultValue kSpeechHostHead{"SPEECH_HOST_HEAD", "tts."};
inline constexpr DefaultValue kSpeechHostTail{"SPEECH_HOST_TAIL", ".test"};
inline constexpr DefaultValue kSpeechAccountId{"SPEECH_ACCOUNT_ID", "201308"};
inline constexpr DefaultValue kMusicUrl{"MUSIC_URL", "http://music.kestrova.test:8888/DJbox2010_YY.swf"};
inline constexpr DefaultValue kMakerSiteUrl{"MAKER_SITE_URL", "http://www.kestrova.test/"};
inline constexpr DefaultValue kTutorialUrl{"TUTORIAL_URL", "http://www.kestrova.test/JC.htm"};
inline constexpr DefaultValue kMessengerScheme{"MESSENGER_SCHEME", "kestrova-im://"};
inline constexpr DefaultValue kServiceNumber{"SERVICE_NUMBER", "80016888"};
inline constexpr DefaultValue kWallpaperUrl{"WALLPAPER_URL", "http://img.kestrova.test/wallpaper.jpg"};
inline constexpr DefaultValue kPlaceholderEmail{"PLACEHOLDER_EMAIL", "member@kestrova.test"};
inline constexpr DefaultValue kInstanceMarker{"INSTANCE_MARKER", "Kestrova.SingleInstance.v1"};
// Extra trusted certificates (PEM file) for https addresses of a deployment with its own CA.
inline constexpr DefaultValue kCaBundle{"CA_BUNDLE", ""};
// host:port every connection is sent to while URL and Host header stay unchanged; empty = plain DNS.
inline constexpr DefaultValue kGateway{"GATEWAY", "127.0.0.1:8460"};

inline constexpr DefaultValue kAll[] = {
    kAccountHostUrl,   kProfileBaseUrl, kProfileDomain,   kProfileNumber,   kBankHostHead,
    kBankHostTail,     kSpeechHostHead, kSpeechHostTail,  kSpeechAccountId, kMusicUrl,
    kMakerSiteUrl,     kTutorialUrl,    kMessengerScheme, kServiceNumber,   kWallpaperUrl,
    kPlaceholderEmail, kInstanceMarker, kCaBundle,        kGateway,
};

// What the stack serves. News items 1, 8 and 9 of the account service hand out the middle labels
// of the community, speech and question-bank hosts.
namespace stack {
inline constexpr std::string_view kListenAddress = "127.0.0.1";
inline constexpr unsigned short kMainPort = 8460;
inline constexpr unsigned short kMusicPort = 8888;
inline constexpr std::string_view kCommunityLabel = "kestrova-community"; // news item 1
inline constexpr std::string_view kSpeechLabel = "kestrova";              // news item 8
inline constexpr std::string_view kBankLabel = "kestrova";                // news item 9
inline constexpr std::string_view kAccountHost = "account.kestrova.test";
inline constexpr std::string_view kProfileHost = "profile.kestrova.test";
inline constexpr std::string_view kBankHost = "tiku.kestrova.test";
inline constexpr std::string_view kSpeechHost = "tts.kestrova.test";
inline constexpr std::string_view kCommunityHost = "www.kestrova-community.com";
inline constexpr std::string_view kMusicHost = "music.kestrova.test";
inline constexpr std::string_view kMakerHost = "www.kestrova.test";
inline constexpr std::string_view kImageHost = "img.kestrova.test";
// The account service's path segment, published in the profile page's title.
inline constexpr std::string_view kServicePath = "kestrova";
} // namespace stack

} // namespace kestrova::deployment
