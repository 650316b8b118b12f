#include <QEventLoop>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <ui/Controls.h>
#include <ui/RecordingPlatform.h>
#include <ui/Window.h>

namespace kestrova::ui {
namespace {

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(WindowTest, DesignSizeCountsTheFrameAndControlsSitInTheClientArea)
{
    Window window("SubjectWindow", GBK("请选择考试科目V1.0"), 50, 50, 468, 234);
    EXPECT_EQ(window.designWidth(), 468);
    EXPECT_EQ(window.designHeight(), 234);
    EXPECT_EQ(window.caption(), GBK("请选择考试科目V1.0"));
    EXPECT_EQ(window.pos(), QPoint(50, 50));
    window.addMenu(GBK("帮助中心"));
    EXPECT_EQ(window.client()->y(), Window::kMenuBarHeight);
}

TEST(WindowTest, ARefusedCloseLeavesTheWindowOpenAndUnchanged)
{
    QPointer<Window> window = new Window("ExamWindow", GBK("KestrovaV1.0"), 50, 50, 400, 300);
    auto* button = new Button(window->client(), "按钮7", 10, 10, 60, 30, GBK("提交答案"));
    int asked = 0;
    window->onCloseRequest = [&asked] {
        ++asked;
        return false;
    };
    ASSERT_TRUE(window->open());
    button->setDisabled(true);
    const QRect geometry = window->geometry();

    EXPECT_FALSE(window->close());
    flushDeletes();
    ASSERT_TRUE(window);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isCreated());
    EXPECT_EQ(window->geometry(), geometry);
    EXPECT_EQ(window->caption(), GBK("KestrovaV1.0"));
    EXPECT_EQ(button->caption(), GBK("提交答案"));
    EXPECT_TRUE(button->isDisabled());
    delete window;
}

TEST(WindowTest, AnAcceptedCloseDestroysTheWindow)
{
    QPointer<Window> window = new Window("ExamWindow", "w", 50, 50, 400, 300);
    bool destroyed = false;
    window->onDestroy = [&destroyed] { destroyed = true; };
    ASSERT_TRUE(window->open());
    window->close();
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(window->isDestroyed());
    EXPECT_FALSE(window->isVisible());
    flushDeletes();
    EXPECT_FALSE(window);
}

TEST(WindowTest, CreationRunsOnceAndOpeningAgainOnlyActivates)
{
    Window window("ResultWindow", "w", 50, 50, 300, 200);
    int created = 0;
    window.onCreate = [&created] {
        ++created;
        return true;
    };
    ASSERT_TRUE(window.open(false)); // opened hidden
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.open());
    EXPECT_EQ(created, 1);
    EXPECT_FALSE(window.isVisible()); // an open window is only activated, not shown
}

TEST(WindowTest, AFailedCreationFailsTheOpeningAndDestroysTheWindow)
{
    QPointer<Window> window = new Window("ExamWindow", "w", 50, 50, 300, 200);
    window->onCreate = [] { return false; };
    EXPECT_FALSE(window->open());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->isDestroyed());
    EXPECT_FALSE(window->open());
    flushDeletes();
    EXPECT_FALSE(window);
}

TEST(WindowTest, AModalOpeningReturnsWhenTheWindowIsDestroyed)
{
    auto* window = new Window("RegisterWindow", "w", 50, 50, 300, 200);
    QTimer::singleShot(50, window, [window] {
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->isModal());
        window->destroyWindow();
    });
    EXPECT_TRUE(window->openModal());
    EXPECT_TRUE(window->isDestroyed());
    flushDeletes();
}

TEST(WindowTest, BringingToFrontRestoresAMinimisedWindow)
{
    Window window("LoginWindow", "w", 50, 50, 300, 200);
    ASSERT_TRUE(window.open());
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    const auto visible = visibleWindows();
    ASSERT_FALSE(visible.empty());
    bringToFront(visible.front());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

// Runs the event loop the way the program does, blocking when there is nothing to do.
void runLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(WindowTest, TheIdleHandlerRunsWhenEventsRunOutAndDoesNotSpin)
{
    Window window("ExamWindow", "w", 50, 50, 300, 200);
    int idles = 0;
    window.setIdleHandler([&idles] { ++idles; });
    runLoopFor(20);
    ASSERT_GE(idles, 1);
    // Nothing happens for a while: the loop sleeps instead of running the handler again and again.
    const int settled = idles;
    runLoopFor(200);
    EXPECT_LE(idles - settled, 3);
    // New events make the program idle again afterwards.
    const int before = idles;
    QTimer::singleShot(5, [] {});
    runLoopFor(30);
    EXPECT_GT(idles, before);
}

TEST(PlatformTest, RecordingPlatformAnswersAndRecordsWithoutBlocking)
{
    RecordingPlatform recording;
    recording.answers = {kAnswerYes};
    EXPECT_EQ(messageBox(GBK("你确定要退出软件？"), kIconInformation | kYesNo, GBK("提示")), kAnswerYes);
    EXPECT_EQ(messageBox("x", kIconInformation | kYesNo, "c"), kAnswerNo); // script used up
    EXPECT_EQ(messageBox("x", kIconExclamation, "c"), kAnswerOk);
    ASSERT_EQ(recording.messages.size(), 3u);
    EXPECT_EQ(recording.messages[0].caption, GBK("提示"));
    EXPECT_EQ(recording.messages[0].flags, 68);
    platform().openUrl("http://www.kestrova.test/JC.htm");
    platform().setClipboardText(GBK("客服QQ："));
    platform().playWav("RIFF");
    recording.randomValues = {20000, 9500};
    EXPECT_EQ(platform().randomInt(9121, 17288), 17288);
    EXPECT_EQ(platform().randomInt(9121, 17288), 9500);
    EXPECT_EQ(recording.openedUrls.size(), 1u);
    EXPECT_EQ(platform().clipboardText(), GBK("客服QQ："));
    EXPECT_EQ(recording.playedSounds.size(), 1u);
    platform().exitProgram(3);
    platform().terminateOwnProcess();
    EXPECT_EQ(recording.exitCodes, std::vector<int>{3});
    EXPECT_EQ(recording.terminations, 1);
}

TEST(PlatformTest, TheExitCleanUpRunsOnce)
{
    int runs = 0;
    registerExitCleanUp([&runs] { ++runs; });
    runExitCleanUp();
    runExitCleanUp();
    EXPECT_EQ(runs, 1);
}

TEST(PlatformTest, WaitingKeepsEventsFlowing)
{
    bool fired = false;
    QTimer::singleShot(10, [&fired] { fired = true; });
    waitProcessing(60);
    EXPECT_TRUE(fired);
}

TEST(PlatformTest, WorkFromAnotherThreadRunsOnTheUiThread)
{
    std::atomic<bool> done = false;
    Qt::HANDLE ranOn = nullptr;
    startThread([&] {
        runOnUiThread([&] {
            ranOn = QThread::currentThreadId();
            done = true;
        });
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 2000);
    EXPECT_EQ(ranOn, QThread::currentThreadId());
}

} // namespace
} // namespace kestrova::ui
