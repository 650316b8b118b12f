// Browser views with the engine running: silent script dialogs and new-window requests. The
// pages are data: addresses, so nothing leaves the process.
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>
#include <ui/BrowserView.h>
#include <ui/RecordingPlatform.h>

namespace kestrova::ui {
namespace {

bool loadAndWait(BrowserView& view, const Text& address)
{
    bool finished = false;
    bool ok = false;
    QObject::connect(view.page(), &QWebEnginePage::loadFinished, &view, [&](bool success) {
        finished = true;
        ok = success;
    });
    view.setAddress(address);
    return QTest::qWaitFor([&] { return finished; }, 20000) && ok;
}

TEST(BrowserEngineTest, ASilentViewAnswersScriptDialogsItself)
{
    QWidget host;
    host.resize(200, 200);
    BrowserView view(&host, "超文本浏览框5", 0, 0, 100, 100);
    host.show();
    const int before = engineViewsCreated();
    view.setSilent(true);
    ASSERT_TRUE(loadAndWait(view, "data:text/html,<script>alert('x'); document.title = "
                                  "'answered ' + confirm('y') + ' ' + prompt('z');</script>"));
    EXPECT_EQ(engineViewsCreated(), before + 1); // the engine view came with the first page
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return view.page()->title().startsWith(QStringLiteral("answered")); }, 5000));
    EXPECT_EQ(view.page()->title(), QStringLiteral("answered false null"));
    view.setAddress("about:blank");
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.address() == "about:blank"; }, 5000));
}

TEST(BrowserEngineTest, NewWindowRequestsGoToTheHandlerAndAreRefusedByDefault)
{
    RecordingPlatform recording;
    QWidget host;
    host.resize(200, 200);
    BrowserView view(&host, "聊天超文本浏览框", 0, 0, 100, 100);
    host.show();
    std::vector<Text> asked;
    view.onNewWindow = [&asked](const Text& url) {
        asked.push_back(url);
        return url.find("allowed") != Text::npos;
    };
    ASSERT_TRUE(loadAndWait(view, "data:text/html,<script>window.open('http://127.0.0.1:9/refused');"
                                  "window.open('http://127.0.0.1:9/allowed');</script>"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked.size() >= 2; }, 5000));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "http://127.0.0.1:9/refused");
    EXPECT_EQ(recording.openedUrls, std::vector<Text>{"http://127.0.0.1:9/allowed"});
}

} // namespace
} // namespace kestrova::ui
