#include <QCoreApplication>
#include <QDateTime>
#include <account/LoginWindow.h>
#include <account/RecoverWindow.h>
#include <account/RegisterWindow.h>
#include <app/SessionState.h>
#include <app/SingleInstance.h>
#include <gtest/gtest.h>
#include <net/Deployment.h>
#include <ui/RecordingPlatform.h>
#include <unistd.h>

namespace kestrova::account {
namespace {

// Each test runs under a marker of its own, so no running client is disturbed.
class LoginWindowTest : public ::testing::Test
{
protected:
    ui::RecordingPlatform recording;
    net::Deployment saved = net::deployment();
    std::string marker = "kestrova-login-test-" + std::to_string(::getpid()) + "-" +
                         std::to_string(QDateTime::currentMSecsSinceEpoch());
    std::vector<std::string> steps;

    void SetUp() override
    {
        net::Deployment values = saved;
        values.instanceMarker = marker;
        values.gateway = "127.0.0.1:9";
        net::setDeployment(values);
        app::resetSession();
        app::releaseGuard();
    }
    void TearDown() override
    {
        app::releaseGuard();
        net::setDeployment(saved);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    LoginWindow* makeWindow()
    {
        auto* window = new LoginWindow;
        window->lookUpServicePath = [this] {
            steps.push_back(recording.exitCodes.empty() ? "lookup" : "lookup after exit");
            return Text("kestrova");
        };
        return window;
    }
};

TEST_F(LoginWindowTest, CreationColoursTheBoxesTakesTheMarkerAndStoresTheServicePath)
{
    LoginWindow* window = makeWindow();
    ASSERT_TRUE(window->open());
    EXPECT_EQ(window->userNameBox->backgroundColour(), kEditBoxGrey);
    EXPECT_EQ(window->passwordBox->backgroundColour(), kEditBoxGrey);
    ASSERT_TRUE(app::runningGuard());
    EXPECT_TRUE(app::runningGuard()->holdsMarker());
    EXPECT_EQ(steps, std::vector<std::string>{"lookup"});
    EXPECT_EQ(app::session().servicePath, "kestrova");
    EXPECT_EQ(window->caption(), GBK("KestrovaV1.0【用户登陆】"));
    EXPECT_EQ(window->designWidth(), 428);
    EXPECT_EQ(window->designHeight(), 370);
    delete window;
}

TEST_F(LoginWindowTest, ASecondCopyEndsBeforeTheServicePathLookUp)
{
    app::InstanceGuard firstCopy(marker, "someone-else");
    ASSERT_TRUE(firstCopy.acquire());
    LoginWindow* window = makeWindow();
    EXPECT_FALSE(window->open());
    EXPECT_EQ(recording.exitCodes, std::vector<int>{0}); // ends through the exit operation
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(app::session().servicePath.empty());
    EXPECT_TRUE(window->userNameBox->backgroundColour().has_value()); // the colouring came first
}

TEST_F(LoginWindowTest, TheCancelButtonEndsTheProgram)
{
    LoginWindow* window = makeWindow();
    ASSERT_TRUE(window->open());
    window->cancelButton->click();
    EXPECT_EQ(recording.terminations, 1);
    delete window;
}

// The controls later work finds by name, with the texts the users see.
TEST(AccountLayoutTest, TheAccountWindowsHoldTheirNamedControls)
{
    struct Expected
    {
        const char* name;
        const char* text;
    };
    LoginWindow login;
    for (const Expected& e :
         {Expected{"loginButton", "登 陆"}, Expected{"cancelButton", "取 消"},
          Expected{"rememberCheck", "记住帐号和密码"}, Expected{"registerLink", "注册用户"},
          Expected{"forgotPasswordLink", "忘记密码"}, Expected{"noticeLabel", "正在加载公告..."}}) {
        auto* control = login.findChild<QWidget*>(QString::fromUtf8(e.name));
        ASSERT_TRUE(control) << e.name;
        EXPECT_EQ(control->property("text").toString(), QString::fromUtf8(e.text)) << e.name;
    }
    EXPECT_TRUE(login.findChild<QWidget*>(QString::fromUtf8("图片框3")));
    EXPECT_EQ(login.passwordBox->echoMode(), QLineEdit::Password);

    RegisterWindow reg;
    EXPECT_EQ(reg.caption(), GBK("用户注册中心"));
    EXPECT_EQ(reg.designWidth(), 389);
    for (const char* name : {"regUserNameBox", "regPasswordBox", "regQuestionBox", "regAnswerBox",
                             "regRealNameBox", "registerButton", "regCancelButton"})
        EXPECT_TRUE(reg.findChild<QWidget*>(QString::fromUtf8(name))) << name;

    RecoverWindow recover;
    EXPECT_EQ(recover.caption(), GBK("找回密码中心"));
    EXPECT_EQ(recover.designHeight(), 275);
    ASSERT_TRUE(recover.open());
    for (QWidget* hidden : std::initializer_list<QWidget*>{recover.recAnswerBox, recover.recFullNameBox,
                                                           recover.checkAnswerButton, recover.newPasswordBox})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    EXPECT_TRUE(recover.recUserNameBox->isVisible());
    EXPECT_TRUE(recover.resetButton->isDisabled());
    recover.hide();
}

} // namespace
} // namespace kestrova::account
