#include <QTest>
#include <exam/ExamWindow.h>
#include <exam/ResultWindow.h>
#include <gtest/gtest.h>
#include <ui/BrowserView.h>

namespace kestrova::exam {
namespace {

TEST(ExamLayoutTest, EveryDesignControlIsThereByName)
{
    ExamWindow window;
    for (const char* name :
         {"透明标签3",     "图片框3", "画板1",   "图片框1",          "图片框5",       "透明标签1",
          "超文本浏览框4", "图片框4", "单选框1", "单选框4",          "选择框1",       "选择框4",
          "画板4",         "画板5",   "画板2",   "聊天超文本浏览框", "编辑框3",       "按钮6",
          "分组框2",       "单选框5", "单选框6", "单选框7",          "按钮2",         "按钮7",
          "按钮10",        "按钮11",  "选择框7", "状态条1",          "超文本浏览框2", "超文本浏览框5",
          "超文本浏览框1", "编辑框2", "按钮3",   "选择框5",          "画板3",         "聊天超文本浏览框1",
          "按钮8",         "按钮9"})
        EXPECT_TRUE(window.findChild<QWidget*>(QString::fromUtf8(name))) << name;
    for (const char* name : {"时钟1", "时钟2"})
        EXPECT_TRUE(window.findChild<ui::Timer*>(QString::fromUtf8(name))) << name;
    EXPECT_EQ(window.caption(), GBK("KestrovaV1.0"));
    EXPECT_EQ(window.designWidth(), 981);
    EXPECT_EQ(window.designHeight(), 722);
}

TEST(ExamLayoutTest, TheDesignStateBeforeAnyPractice)
{
    ExamWindow window;
    ASSERT_TRUE(window.open());
    for (ui::Button* button : {window.submitButton, window.explainButton, window.nextButton})
        EXPECT_TRUE(button->isDisabled());
    for (QWidget* hidden :
         {static_cast<QWidget*>(window.clockCanvas), static_cast<QWidget*>(window.statusCanvas),
          static_cast<QWidget*>(window.mediaPanel), static_cast<QWidget*>(window.answerRadios[0]),
          static_cast<QWidget*>(window.answerChecks[3])})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    EXPECT_EQ(window.answerRadios[2]->tag(), "3");
    EXPECT_EQ(window.examClockTimer->period(), 0);
    EXPECT_EQ(window.statusBar->paneCount(), 4);
    EXPECT_EQ(window.statusBar->paneText(0), GBK("QQ账号："));
    EXPECT_EQ(window.statusBar->paneWidth(0), 243);
    // No page is loaded by the layout: the engine stays down.
    EXPECT_FALSE(window.onlineCountView->hasEngineView());
    EXPECT_FALSE(window.messagesView->hasEngineView());
    // The chat views are kept from taking input.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.chatView->isDisabled() && window.messagesView->isDisabled(); }, 2000));
    window.hide();
}

TEST(ExamLayoutTest, TheResultWindowOnlyHidesOnClose)
{
    ResultWindow window;
    EXPECT_EQ(window.caption(), GBK("考试结果"));
    EXPECT_EQ(window.designWidth(), 576);
    ASSERT_TRUE(window.open());
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isDestroyed());
    EXPECT_EQ(window.resultCanvas->geometry(), QRect(195, 32, 304, 134));
}

} // namespace
} // namespace kestrova::exam
