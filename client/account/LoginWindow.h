// The first window: the user's credentials, the notice line, the links to registration and
// password recovery, and the help menu.
#pragma once

#include <functional>
#include <ui/Controls.h>
#include <ui/Window.h>

namespace kestrova::account {

using ui::Text;

// The light grey of the account windows' edit boxes.
inline constexpr std::uint32_t kEditBoxGrey = 15066597;

class LoginWindow final : public ui::Window
{
public:
    LoginWindow();

    ui::PictureBox* bannerPicture; // 图片框3
    ui::Label* noticeLabel;
    ui::GroupBox* credentialsGroup;
    ui::Label* userNameLabel;
    ui::EditBox* userNameBox;
    ui::Label* passwordLabel;
    ui::EditBox* passwordBox;
    ui::CheckBox* rememberCheck;
    ui::Button* loginButton;
    ui::Button* cancelButton;
    ui::HyperlinkLabel* registerLink;
    ui::HyperlinkLabel* forgotPasswordLink;

    // The service-path lookup the creation ends with (tests replace it).
    std::function<Text()> lookUpServicePath;

private:
    bool created();
};

} // namespace kestrova::account
