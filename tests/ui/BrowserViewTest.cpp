#include <cstdlib>
#include <gtest/gtest.h>
#include <ui/BrowserView.h>
#include <unistd.h>

namespace kestrova::ui {
namespace {

TEST(BrowserViewTest, TheGatewayBecomesAQuotedHostResolverRule)
{
    const std::string flags = chromiumFlags("127.0.0.1:8460");
    EXPECT_NE(flags.find("--host-resolver-rules=\"MAP * 127.0.0.1:8460\""), std::string::npos) << flags;
    for (const char* flag : {"--autoplay-policy=no-user-gesture-required",
                             "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
                             "--renderer-process-limit=1", "--disable-features=AudioServiceOutOfProcess"})
        EXPECT_NE(flags.find(flag), std::string::npos) << flag;
    EXPECT_EQ(chromiumFlags("").find("host-resolver-rules"), std::string::npos);
}

TEST(BrowserViewTest, PreparingTheEnvironmentKeepsFlagsAlreadyThere)
{
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--enable-logging", 1);
    prepareWebEngineEnvironment("127.0.0.1:9");
    const std::string flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    EXPECT_EQ(flags.rfind("--enable-logging ", 0), 0u);
    EXPECT_NE(flags.find("MAP * 127.0.0.1:9"), std::string::npos);
    if (::geteuid() == 0) {
        EXPECT_STREQ(std::getenv("QTWEBENGINE_DISABLE_SANDBOX"), "1");
    }
    ::unsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
}

// A blank view holds no engine: windows whose views are all blank do not start it.
TEST(BrowserViewTest, ABlankViewDoesNotStartTheEngine)
{
    QWidget host;
    const int before = engineViewsCreated();
    auto* view = new BrowserView(&host, "超文本浏览框2", -80, 401, 16, 16, "about:blank");
    view->setAddress("about:blank");
    view->setSilent(true);
    view->setDisabled(true);
    EXPECT_FALSE(view->hasEngineView());
    EXPECT_EQ(engineViewsCreated(), before);
    EXPECT_EQ(view->address(), "about:blank");
    EXPECT_TRUE(view->silent());
    EXPECT_TRUE(view->isDisabled());
}

} // namespace
} // namespace kestrova::ui
