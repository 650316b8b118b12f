#include <QCoreApplication>
#include <QPointer>
#include <app/SubjectWindow.h>
#include <app/WindowFlow.h>
#include <gtest/gtest.h>
#include <ui/RecordingPlatform.h>

namespace kestrova::app {
namespace {

using ui::kAnswerNo;
using ui::kAnswerYes;

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The flow over plain windows standing in for LoginWindow and ExamWindow.
class WindowFlowTest : public ::testing::Test
{
protected:
    ui::RecordingPlatform recording;
    int examsMade = 0;
    bool examOpens = true;
    std::unique_ptr<WindowFlow> flow;

    void SetUp() override
    {
        resetSession();
        WindowFactories factories;
        factories.makeLoginWindow = [] { return new ui::Window("LoginWindow", "login", 50, 50, 428, 370); };
        factories.makeExamWindow = [this] {
            ++examsMade;
            auto* exam = new ui::Window("ExamWindow", "exam", 50, 50, 981, 722);
            exam->onCreate = [this] { return examOpens; };
            return exam;
        };
        flow = std::make_unique<WindowFlow>(std::move(factories));
        ASSERT_TRUE(flow->start());
        session().userName = GBK("张三");
        session().remoteValue1 = "kestrova-community";
        flow->loginSucceeded();
    }

    void TearDown() override
    {
        flow.reset();
        flushDeletes();
    }

    // Closes a window the way the user does and reports whether it went.
    static bool userCloses(ui::Window* window)
    {
        window->close();
        return window->isDestroyed();
    }
};

TEST_F(WindowFlowTest, LoginHandsOverToTheSubjectWindowForGood)
{
    ASSERT_TRUE(flow->subjectWindow());
    EXPECT_TRUE(flow->subjectWindow()->isVisible());
    EXPECT_FALSE(flow->loginWindow()->isVisible());
    EXPECT_FALSE(flow->loginWindow()->isDestroyed());
}

TEST_F(WindowFlowTest, TheGreetingHoldsTheNameExactlyAsTyped)
{
    // GBK bytes, spaces, ASCII punctuation and full-width brackets all pass through unchanged.
    const Text typed = GBK("  李四 Li（小）%20&x=1 ");
    session().userName = typed;
    flow.reset();
    flushDeletes();
    WindowFactories factories;
    factories.makeLoginWindow = [] { return new ui::Window("LoginWindow", "login", 50, 50, 428, 370); };
    flow = std::make_unique<WindowFlow>(std::move(factories));
    SubjectWindow* subject = flow->showSubjectWindow();
    ASSERT_TRUE(subject);
    EXPECT_EQ(subject->caption(), GBK("尊敬的（") + typed + GBK("）请选择考试科目："));
    EXPECT_EQ(subject->designWidth(), 468);
    EXPECT_EQ(subject->designHeight(), 234);
    EXPECT_EQ(subject->subject1Group->geometry(), QRect(92, 8, 256, 88));
    EXPECT_EQ(subject->subject4Group->geometry(), QRect(92, 97, 256, 88));
    EXPECT_EQ(subject->subject1Button->geometry(), QRect(27, 20, 192, 51));
    EXPECT_EQ(subject->subject4Button->geometry(), QRect(27, 21, 192, 51));
    EXPECT_EQ(subject->subject4Button->caption(), GBK("科目四练习场"));
}

TEST_F(WindowFlowTest, ASubjectButtonOpensAnExamWindowAndHidesTheSubjectWindow)
{
    flow->subjectWindow()->subject4Button->click();
    EXPECT_EQ(session().subject, GBK("科目四"));
    ASSERT_TRUE(flow->examWindow());
    EXPECT_TRUE(flow->examWindow()->isVisible());
    EXPECT_FALSE(flow->subjectWindow()->isVisible());
}

TEST_F(WindowFlowTest, AFailedExamOpeningLeavesTheSubjectWindowInFront)
{
    examOpens = false;
    flow->subjectWindow()->subject1Button->click();
    EXPECT_EQ(session().subject, GBK("科目一"));
    EXPECT_TRUE(flow->subjectWindow()->isVisible());
    EXPECT_TRUE(!flow->examWindow() || flow->examWindow()->isDestroyed());
    // The next try builds a fresh window, which may succeed.
    examOpens = true;
    flow->subjectWindow()->subject1Button->click();
    EXPECT_EQ(examsMade, 2);
    EXPECT_TRUE(flow->examWindow()->isVisible());
}

// Each close question, answered Yes and No.
struct CloseCase
{
    const char* name;
    bool closeExam; // the exam window's question, else the subject window's
    int answer;
    friend void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }
};

class CloseQuestionTest : public WindowFlowTest, public ::testing::WithParamInterface<CloseCase>
{
};

TEST_P(CloseQuestionTest, NoChangesNothingAndYesMovesOn)
{
    const CloseCase& c = GetParam();
    flow->subjectWindow()->subject1Button->click();
    QPointer<ui::Window> exam = flow->examWindow();
    ASSERT_TRUE(exam);
    if (!c.closeExam) {
        // Back to the menu first, so the subject window is the one shown.
        recording.answers = {kAnswerYes};
        ASSERT_TRUE(userCloses(exam));
        recording.messages.clear();
    }
    const Text userBefore = session().userName;
    const Text subjectBefore = session().subject;
    const Text remoteBefore = session().remoteValue1;
    ui::Window* asked = c.closeExam ? exam.data() : flow->subjectWindow();
    recording.answers = {c.answer};

    const bool went = userCloses(asked);

    ASSERT_EQ(recording.messages.size(), 1u);
    EXPECT_EQ(recording.messages[0].text,
              c.closeExam ? GBK("你确定要返回菜单栏目吗？") : GBK("你确定要退出软件？"));
    EXPECT_EQ(recording.messages[0].caption, GBK("提示"));
    EXPECT_EQ(recording.messages[0].flags, ui::kIconInformation | ui::kYesNo);
    EXPECT_EQ(session().userName, userBefore);
    EXPECT_EQ(session().subject, subjectBefore);
    EXPECT_EQ(session().remoteValue1, remoteBefore);

    if (c.answer == kAnswerNo) {
        EXPECT_FALSE(went);
        EXPECT_TRUE(asked->isVisible());
        EXPECT_EQ(recording.terminations, 0);
        if (c.closeExam) {
            EXPECT_FALSE(flow->subjectWindow()->isVisible());
        }
        return;
    }
    if (c.closeExam) {
        EXPECT_TRUE(went);
        EXPECT_TRUE(flow->subjectWindow()->isVisible());
        EXPECT_EQ(recording.terminations, 0);
        flushDeletes();
        EXPECT_FALSE(exam); // destroyed, not hidden
    } else {
        EXPECT_EQ(recording.terminations, 1);     // the process ends at once
        EXPECT_TRUE(recording.exitCodes.empty()); // without the exit clean-up
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseQuestionTest,
                         ::testing::Values(CloseCase{"ExamNo", true, kAnswerNo},
                                           CloseCase{"ExamYes", true, kAnswerYes},
                                           CloseCase{"SubjectNo", false, kAnswerNo},
                                           CloseCase{"SubjectYes", false, kAnswerYes}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowFlowTest, GoingBackAndChoosingAgainGivesAFreshExamWindow)
{
    flow->subjectWindow()->subject1Button->click();
    QPointer<ui::Window> first = flow->examWindow();
    recording.answers = {kAnswerYes};
    ASSERT_TRUE(userCloses(first));
    flow->subjectWindow()->subject4Button->click();
    EXPECT_EQ(examsMade, 2);
    EXPECT_NE(flow->examWindow(), first.data());
    EXPECT_EQ(session().subject, GBK("科目四"));
    EXPECT_EQ(session().userName, GBK("张三"));
    EXPECT_EQ(session().remoteValue1, "kestrova-community");
}

TEST_F(WindowFlowTest, ClosingTheLoginWindowEndsTheProgramWithoutAsking)
{
    flow->loginWindow()->close();
    EXPECT_EQ(recording.terminations, 1);
    EXPECT_TRUE(recording.messages.empty());
}

} // namespace
} // namespace kestrova::app
