#include "RecoverWindow.h"

#include "LoginWindow.h"

namespace kestrova::account {

RecoverWindow::RecoverWindow() : Window("RecoverWindow", GBK("找回密码中心"), 50, 50, 384, 275)
{
    recoverGroup = new ui::GroupBox(client(), "recoverGroup", 11, 8, 352, 232, GBK("找回密码"));
    ui::GroupBox* g = recoverGroup;
    recUserNameLabel = new ui::Label(g, "recUserNameLabel", 27, 38, 69, 24, GBK("您的用户名："));
    recUserNameBox = new ui::EditBox(g, "recUserNameBox", 107, 35, 184, 24);
    checkUserButton = new ui::Button(g, "checkUserButton", 293, 35, 48, 24, GBK("验证"));
    // Step two sends the answer and the full name; the labels say so.
    recAnswerLabel = new ui::Label(g, "recAnswerLabel", 39, 68, 56, 24, GBK("问题答案："));
    recAnswerBox = new ui::EditBox(g, "recAnswerBox", 107, 65, 184, 24);
    recFullNameLabel = new ui::Label(g, "recFullNameLabel", 39, 97, 56, 24, GBK("真实姓名："));
    recFullNameBox = new ui::EditBox(g, "recFullNameBox", 107, 95, 184, 24);
    checkAnswerButton = new ui::Button(g, "checkAnswerButton", 293, 64, 48, 56, GBK("验证"));
    newPasswordLabel = new ui::Label(g, "newPasswordLabel", 15, 157, 80, 24, GBK("请输入新密码："));
    newPasswordBox = new ui::EditBox(g, "newPasswordBox", 107, 156, 184, 24);
    resetButton = new ui::Button(g, "resetButton", 106, 188, 90, 32, GBK("重置密码"));
    recCancelButton = new ui::Button(g, "recCancelButton", 201, 188, 90, 32, GBK("取 消"));

    for (QWidget* later :
         std::initializer_list<QWidget*>{recAnswerLabel, recAnswerBox, recFullNameLabel, recFullNameBox,
                                         checkAnswerButton, newPasswordLabel, newPasswordBox})
        later->hide();
    resetButton->setDisabled(true);

    onCreate = [this] {
        for (ui::EditBox* box : {recUserNameBox, recAnswerBox, recFullNameBox, newPasswordBox})
            box->setBackgroundColour(kEditBoxGrey);
        return true;
    };
}

} // namespace kestrova::account
