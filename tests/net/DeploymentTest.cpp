#include "net/Deployment.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace kestrova::net;

namespace {

TEST(Deployment, DefaultsDescribeTheLocalStack)
{
    const Deployment d = Deployment::defaults();
    EXPECT_EQ(d.accountHostUrl, "http://account.kestrova.test/");
    EXPECT_EQ(d.profileBaseUrl + d.profileNumber, "http://profile.kestrova.test/8016");
    EXPECT_EQ(d.bankHostHead + std::string("kestrova") + d.bankHostTail, "tiku.kestrova.test");
    EXPECT_EQ(d.speechHostHead + std::string("kestrova") + d.speechHostTail, "tts.kestrova.test");
    EXPECT_EQ(d.musicUrl, "http://music.kestrova.test:8888/DJbox2010_YY.swf");
    EXPECT_EQ(d.gateway, "127.0.0.1:8460");
}

TEST(Deployment, EnvironmentOverridesEachValue)
{
    const Deployment d = Deployment::fromEnvironment([](const char* name) -> const char* {
        if (std::strcmp(name, "KESTROVA_GATEWAY") == 0)
            return ""; // empty means plain DNS
        if (std::strcmp(name, "KESTROVA_PROFILE_NUMBER") == 0)
            return "42";
        return nullptr;
    });
    EXPECT_EQ(d.gateway, "");
    EXPECT_EQ(d.profileNumber, "42");
    EXPECT_EQ(d.profileDomain, "profile.kestrova.test");
}

} // namespace
