// The client's deployment values: compiled-in defaults for the local stack, each overridable by
// the environment variable KESTROVA_<NAME>, read once when the program starts.
#pragma once

#include <kestrova/DeploymentDefaults.h>
#include <string>

namespace kestrova::net {

struct Deployment
{
    std::string accountHostUrl;
    std::string profileBaseUrl;
    std::string profileDomain;
    std::string profileNumber;
    std::string bankHostHead;
    std::string bankHostTail;
    std::string speechHostHead;
    std::string speechHostTail;
    std::string speechAccountId;
    std::string musicUrl;
    std::string makerSiteUrl;
    std::string tutorialUrl;
    std::string messengerScheme;
    std::string serviceNumber;
    std::string wallpaperUrl;
    std::string placeholderEmail;
    std::string instanceMarker;
    std::string caBundle;
    std::string gateway;

    // Defaults overridden by the environment (getenv is passed in so tests need not touch it).
    static Deployment fromEnvironment(const char* (*lookup)(const char*));
    static Deployment defaults();
};

// The values of this run: read from the process environment on first use.
const Deployment& deployment();
// Replaces the values of this run (start-up and tests); also moves the HTTP gateway.
void setDeployment(const Deployment& values);

} // namespace kestrova::net
