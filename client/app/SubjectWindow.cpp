#include "SubjectWindow.h"

#include "SessionState.h"
#include "WindowFlow.h"

namespace kestrova::app {

ui::Text greetingCaption(const ui::Text& userName)
{
    return GBK("尊敬的（") + userName + GBK("）请选择考试科目：");
}

SubjectWindow::SubjectWindow(WindowFlow& flow)
    : Window("SubjectWindow", GBK("请选择考试科目V1.0"), 50, 50, 468, 234)
{
    subject1Group = new ui::GroupBox(client(), "subject1Group", 92, 8, 256, 88);
    subject1Button = new ui::Button(subject1Group, "subject1Button", 27, 20, 192, 51, GBK("科目一练习场"));
    subject4Group = new ui::GroupBox(client(), "subject4Group", 92, 97, 256, 88);
    subject4Button = new ui::Button(subject4Group, "subject4Button", 27, 21, 192, 51, GBK("科目四练习场"));

    onCreate = [this] {
        setCaption(greetingCaption(session().userName));
        return true;
    };
    subject1Button->onClick = [&flow] { flow.chooseSubject(GBK("科目一")); };
    subject4Button->onClick = [&flow] { flow.chooseSubject(GBK("科目四")); };
    onCloseRequest = [&flow] { return flow.subjectCloseRequested(); };
}

} // namespace kestrova::app
