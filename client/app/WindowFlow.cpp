#include "WindowFlow.h"

#include "SubjectWindow.h"

#include <ui/Platform.h>

namespace kestrova::app {
namespace {

WindowFlow* g_flow = nullptr;

} // namespace

const Text& backToMenuQuestion()
{
    return GBK("你确定要返回菜单栏目吗？");
}
const Text& quitQuestion()
{
    return GBK("你确定要退出软件？");
}

WindowFlow::WindowFlow(WindowFactories factories) : m_factories(std::move(factories)) {}

WindowFlow::~WindowFlow()
{
    for (ui::Window* window : {m_exam.data(), m_subject.data(), m_login.data()})
        delete window;
    if (g_flow == this)
        g_flow = nullptr;
}

SubjectWindow* WindowFlow::subjectWindow() const
{
    return static_cast<SubjectWindow*>(m_subject.data());
}

bool WindowFlow::start()
{
    if (!m_factories.makeLoginWindow)
        return false;
    m_login = m_factories.makeLoginWindow();
    if (!m_login)
        return false;
    m_login->onCloseRequest = [this] { return loginCloseRequested(); };
    // However LoginWindow goes, the program goes with it.
    m_login->onDestroy = [] { ui::platform().terminateOwnProcess(); };
    return m_login->open();
}

void WindowFlow::loginSucceeded()
{
    if (m_login)
        m_login->hide();
    showSubjectWindow();
    if (m_login)
        m_login->hide();
}

SubjectWindow* WindowFlow::showSubjectWindow()
{
    if (m_subject && m_subject->isDestroyed())
        m_subject = nullptr;
    if (!m_subject)
        m_subject = new SubjectWindow(*this);
    if (!m_subject->isCreated() && !m_subject->open())
        return nullptr;
    m_subject->show();
    m_subject->activate();
    return subjectWindow();
}

bool WindowFlow::chooseSubject(const Text& subject)
{
    session().subject = subject;
    if (m_exam && m_exam->isDestroyed())
        m_exam = nullptr; // on its way out: the next one is a fresh window
    if (!m_exam && m_factories.makeExamWindow) {
        m_exam = m_factories.makeExamWindow();
        if (m_exam)
            m_exam->onCloseRequest = [this] { return examCloseRequested(); };
    }
    if (!m_exam || !m_exam->open())
        return false; // a failed opening leaves SubjectWindow as it is, in front
    m_exam->activate();
    if (m_subject)
        m_subject->hide();
    return true;
}

bool WindowFlow::loginCloseRequested()
{
    ui::platform().terminateOwnProcess();
    return false;
}

bool WindowFlow::subjectCloseRequested()
{
    if (ui::messageBox(quitQuestion(), ui::kIconInformation | ui::kYesNo, GBK("提示")) != ui::kAnswerYes)
        return false;
    ui::platform().terminateOwnProcess();
    return false;
}

bool WindowFlow::examCloseRequested()
{
    if (ui::messageBox(backToMenuQuestion(), ui::kIconInformation | ui::kYesNo, GBK("提示")) !=
        ui::kAnswerYes)
        return false;
    showSubjectWindow();
    if (m_exam)
        m_exam->destroyWindow();
    return true;
}

WindowFlow* windowFlow()
{
    return g_flow;
}

void setWindowFlow(WindowFlow* flow)
{
    g_flow = flow;
}

} // namespace kestrova::app
