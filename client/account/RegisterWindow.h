// New users register here; opened modally over LoginWindow.
#pragma once

#include <ui/Controls.h>
#include <ui/Window.h>

namespace kestrova::account {

class RegisterWindow final : public ui::Window
{
public:
    RegisterWindow();

    ui::GroupBox* registerGroup;
    ui::Label* regUserNameLabel;
    ui::EditBox* regUserNameBox;
    ui::Label* regPasswordLabel;
    ui::EditBox* regPasswordBox;
    ui::Label* regQuestionLabel;
    ui::EditBox* regQuestionBox;
    ui::Label* regAnswerLabel;
    ui::EditBox* regAnswerBox;
    ui::Label* regRealNameLabel;
    ui::EditBox* regRealNameBox;
    ui::Button* registerButton;
    ui::Button* regCancelButton;
};

} // namespace kestrova::account
