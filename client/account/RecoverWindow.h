// Password recovery in steps; opened modally over LoginWindow. The controls of the later steps
// stay hidden until the step before has succeeded.
#pragma once

#include <ui/Controls.h>
#include <ui/Window.h>

namespace kestrova::account {

class RecoverWindow final : public ui::Window
{
public:
    RecoverWindow();

    ui::GroupBox* recoverGroup;
    ui::Label* recUserNameLabel;
    ui::EditBox* recUserNameBox;
    ui::Button* checkUserButton;
    ui::Label* recAnswerLabel;
    ui::EditBox* recAnswerBox;
    ui::Label* recFullNameLabel;
    ui::EditBox* recFullNameBox;
    ui::Button* checkAnswerButton;
    ui::Label* newPasswordLabel;
    ui::EditBox* newPasswordBox;
    ui::Button* resetButton;
    ui::Button* recCancelButton;
};

} // namespace kestrova::account
