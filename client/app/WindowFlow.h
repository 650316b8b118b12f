// The main path through the windows: LoginWindow, then SubjectWindow, then ExamWindow and back,
// with the two close questions and the ways the program ends.
#pragma once

#include "SessionState.h"

#include <QPointer>
#include <functional>
#include <string>
#include <ui/Window.h>
#include <utility>
#include <vector>

namespace kestrova::app {

class SubjectWindow;

// How the flow makes the windows that live in other parts of the client.
struct WindowFactories
{
    std::function<ui::Window*()> makeLoginWindow;
    std::function<ui::Window*()> makeExamWindow;
    // Every window by a short name ("login", "exam", ...), for opening one directly (screenshots).
    std::vector<std::pair<std::string, std::function<ui::Window*()>>> catalogue;
};

class WindowFlow final
{
public:
    explicit WindowFlow(WindowFactories factories);
    ~WindowFlow();
    WindowFlow(const WindowFlow&) = delete;
    WindowFlow& operator=(const WindowFlow&) = delete;

    // Creates and opens LoginWindow as the first window; false when its creation failed.
    bool start();
    // After a successful login: hides LoginWindow for good and opens SubjectWindow.
    void loginSucceeded();
    // A subject button: sets subject, opens a fresh ExamWindow and, when that worked, hides
    // SubjectWindow. False when ExamWindow could not be opened (SubjectWindow stays in front).
    bool chooseSubject(const Text& subject);

    // The close requests; true lets the window go.
    bool loginCloseRequested();
    bool subjectCloseRequested();
    bool examCloseRequested();

    // Makes sure SubjectWindow exists, is shown and is active.
    SubjectWindow* showSubjectWindow();

    ui::Window* loginWindow() const { return m_login; }
    SubjectWindow* subjectWindow() const;
    ui::Window* examWindow() const { return m_exam; }
    const WindowFactories& factories() const { return m_factories; }

private:
    WindowFactories m_factories;
    QPointer<ui::Window> m_login;
    QPointer<ui::Window> m_subject;
    QPointer<ui::Window> m_exam;
};

// The program's flow, installed by the start-up (nullptr before and in tests that need none).
WindowFlow* windowFlow();
void setWindowFlow(WindowFlow* flow);

// The questions the close requests ask.
const Text& backToMenuQuestion();
const Text& quitQuestion();

} // namespace kestrova::app
