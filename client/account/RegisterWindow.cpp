#include "RegisterWindow.h"

#include "LoginWindow.h"

namespace kestrova::account {

RegisterWindow::RegisterWindow() : Window("RegisterWindow", GBK("用户注册中心"), 50, 50, 389, 281)
{
    registerGroup = new ui::GroupBox(client(), "registerGroup", 16, 13, 352, 232, GBK("用户注册"));
    ui::GroupBox* g = registerGroup;
    regUserNameLabel = new ui::Label(g, "regUserNameLabel", 51, 38, 56, 24, GBK("用户名："));
    regUserNameBox = new ui::EditBox(g, "regUserNameBox", 107, 35, 184, 24);
    regPasswordLabel = new ui::Label(g, "regPasswordLabel", 51, 67, 56, 24, GBK("密　码："));
    regPasswordBox = new ui::EditBox(g, "regPasswordBox", 107, 65, 184, 24);
    regQuestionLabel = new ui::Label(g, "regQuestionLabel", 39, 99, 56, 24, GBK("提示问题："));
    regQuestionBox = new ui::EditBox(g, "regQuestionBox", 107, 96, 184, 24);
    regAnswerLabel = new ui::Label(g, "regAnswerLabel", 39, 128, 56, 24, GBK("问题答案："));
    regAnswerBox = new ui::EditBox(g, "regAnswerBox", 107, 126, 184, 24);
    regRealNameLabel = new ui::Label(g, "regRealNameLabel", 39, 160, 56, 24, GBK("真实姓名："));
    regRealNameBox = new ui::EditBox(g, "regRealNameBox", 107, 157, 184, 24);
    registerButton = new ui::Button(g, "registerButton", 106, 188, 90, 32, GBK("注册账号"));
    regCancelButton = new ui::Button(g, "regCancelButton", 201, 188, 90, 32, GBK("取 消"));

    onCreate = [this] {
        for (ui::EditBox* box :
             {regUserNameBox, regPasswordBox, regQuestionBox, regAnswerBox, regRealNameBox})
            box->setBackgroundColour(kEditBoxGrey);
        return true;
    };
}

} // namespace kestrova::account
