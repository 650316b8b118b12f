#include "LoginWindow.h"

#include "RecoverWindow.h"
#include "RegisterWindow.h"

#include <app/SessionState.h>
#include <app/SingleInstance.h>
#include <net/Deployment.h>
#include <net/ServicePath.h>
#include <ui/Platform.h>

namespace kestrova::account {

LoginWindow::LoginWindow() : Window("LoginWindow", GBK("KestrovaV1.0【用户登陆】"), 50, 50, 428, 370)
{
    ui::Menu help = addMenu(GBK("帮助中心"));
    help.addEntry(GBK("使用教程"), {});
    help.addSeparator();
    help.addEntry(GBK("客服中心"), {});
    help.addSeparator();
    help.addEntry(GBK("官方"), {});
    help.addSeparator();
    help.addEntry(GBK("关于"), {});

    QWidget* area = client();
    bannerPicture = new ui::PictureBox(area, "图片框3", 44, 3, 356, 97);
    noticeLabel = new ui::Label(area, "noticeLabel", 8, 104, 408, 40, GBK("正在加载公告..."),
                                ui::Label::Kind::Transparent);
    credentialsGroup = new ui::GroupBox(area, "credentialsGroup", 3, 142, 416, 170);
    userNameLabel = new ui::Label(credentialsGroup, "userNameLabel", 62, 34, 56, 24, GBK("用户名："));
    userNameBox = new ui::EditBox(credentialsGroup, "userNameBox", 118, 31, 184, 24);
    passwordLabel = new ui::Label(credentialsGroup, "passwordLabel", 62, 63, 56, 24, GBK("密　码："));
    passwordBox = new ui::EditBox(credentialsGroup, "passwordBox", 118, 61, 184, 24);
    passwordBox->setPasswordMode(true);
    rememberCheck =
        new ui::CheckBox(credentialsGroup, "rememberCheck", 118, 96, 118, 16, GBK("记住帐号和密码"));
    loginButton = new ui::Button(credentialsGroup, "loginButton", 117, 117, 90, 32, GBK("登 陆"));
    cancelButton = new ui::Button(credentialsGroup, "cancelButton", 212, 117, 90, 32, GBK("取 消"));
    registerLink = new ui::HyperlinkLabel(credentialsGroup, "registerLink", 305, 31, 64, 24, GBK("注册用户"));
    forgotPasswordLink =
        new ui::HyperlinkLabel(credentialsGroup, "forgotPasswordLink", 305, 64, 64, 24, GBK("忘记密码"));

    lookUpServicePath = [] { return net::lookUpServicePath(net::deployment().profileNumber); };
    onCreate = [this] { return created(); };
    cancelButton->onClick = [] { ui::platform().terminateOwnProcess(); };
    registerLink->onLeftRelease = [] { (new RegisterWindow)->openModal(); };
    forgotPasswordLink->onLeftRelease = [] { (new RecoverWindow)->openModal(); };
}

bool LoginWindow::created()
{
    userNameBox->setBackgroundColour(kEditBoxGrey);
    passwordBox->setBackgroundColour(kEditBoxGrey);
    // A second copy ends here, before anything reaches the network.
    if (!app::guardSingleInstance())
        return false;
    if (lookUpServicePath)
        app::session().servicePath = lookUpServicePath();
    return true;
}

} // namespace kestrova::account
