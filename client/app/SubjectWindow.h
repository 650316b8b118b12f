// The subject choice: two group boxes, each with one subject button. Its caption greets the user.
#pragma once

#include <ui/Controls.h>
#include <ui/Window.h>

namespace kestrova::app {

class WindowFlow;

class SubjectWindow final : public ui::Window
{
public:
    explicit SubjectWindow(WindowFlow& flow);

    ui::GroupBox* subject1Group;
    ui::GroupBox* subject4Group;
    ui::Button* subject1Button; // "科目一练习场"
    ui::Button* subject4Button; // "科目四练习场"
};

// "尊敬的（" + user name + "）请选择考试科目：", the name exactly as typed.
ui::Text greetingCaption(const ui::Text& userName);

} // namespace kestrova::app
