#include <QBuffer>
#include <QTest>
#include <gtest/gtest.h>
#include <ui/Controls.h>

namespace kestrova::ui {
namespace {

TEST(BoundaryTest, ColourValuesAreBlueGreenRed)
{
    EXPECT_EQ(colourFromValue(255), QColor(255, 0, 0));
    EXPECT_EQ(colourFromValue(16711680), QColor(0, 0, 255));
    EXPECT_EQ(colourFromValue(15066597), QColor(229, 229, 229));
    EXPECT_EQ(valueFromColour(QColor(209, 232, 242)), 15919313u);
}

TEST(BoundaryTest, GbkTextsCrossTheBoundaryUnchanged)
{
    const Text text = GBK("尊敬的（张三）请选择考试科目：") + "abc 123";
    EXPECT_EQ(toQt(text), QString::fromUtf8("尊敬的（张三）请选择考试科目：abc 123"));
    EXPECT_EQ(fromQt(toQt(text)), text);
}

// Every kind of control takes its caption as GBK and gives back the same bytes.
TEST(ControlsTest, CaptionsRoundTripForEveryKind)
{
    QWidget host;
    const Text caption = GBK("科目一练习场");
    std::vector<std::pair<QWidget*, std::function<Text()>>> controls;
    auto* button = new Button(&host, "按钮1", 0, 0, 10, 10, caption);
    auto* check = new CheckBox(&host, "选择框1", 0, 0, 10, 10, caption);
    auto* radio = new RadioButton(&host, "单选框1", 0, 0, 10, 10, caption);
    auto* group = new GroupBox(&host, "分组框1", 0, 0, 10, 10, caption);
    auto* label = new Label(&host, "标签1", 0, 0, 10, 10, caption);
    auto* link = new HyperlinkLabel(&host, "超级链接1", 0, 0, 10, 10, caption);
    auto* edit = new EditBox(&host, "编辑框1", 0, 0, 10, 10, caption);
    auto* multi = new MultiLineEditBox(&host, "编辑框2", 0, 0, 10, 10, caption);
    EXPECT_EQ(button->caption(), caption);
    EXPECT_EQ(check->caption(), caption);
    EXPECT_EQ(radio->caption(), caption);
    EXPECT_EQ(group->caption(), caption);
    EXPECT_EQ(label->caption(), caption);
    EXPECT_EQ(link->caption(), caption);
    EXPECT_EQ(edit->caption(), caption);
    EXPECT_EQ(multi->caption(), caption);
    // Found by design name.
    EXPECT_EQ(host.findChild<QPushButton*>(QString::fromUtf8("按钮1")), button);
}

TEST(ControlsTest, PlaceSizeTagAndColoursAreProperties)
{
    QWidget host;
    auto* box = new EditBox(&host, "userNameBox", 118, 31, 184, 24);
    box->setLeft(-232);
    box->setHeight(30);
    EXPECT_EQ(box->geometry(), QRect(-232, 31, 184, 30));
    box->setTag("3");
    EXPECT_EQ(box->tag(), "3");
    box->setBackgroundColour(15066597);
    EXPECT_EQ(box->palette().color(QPalette::Base), QColor(229, 229, 229));
    EXPECT_EQ(box->backgroundColour(), 15066597u);
    box->setDisabled(true);
    EXPECT_TRUE(box->isDisabled());
}

TEST(ControlsTest, EnterReachesTheKeyHandlerAsThirteen)
{
    QWidget host;
    auto* box = new EditBox(&host, "passwordBox", 0, 0, 100, 20);
    std::vector<int> codes;
    box->onKeyDown = [&codes](int code) {
        codes.push_back(code);
        return code == 13; // swallow Enter, leave the rest to the box
    };
    QTest::keyClick(box, Qt::Key_A);
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Enter);
    EXPECT_EQ(codes, (std::vector<int>{'A', 13, 13}));
    EXPECT_EQ(box->caption(), "a");
}

TEST(ControlsTest, RadioButtonsExcludeEachOtherOnlyInTheirContainer)
{
    QWidget host;
    auto* panel = new QWidget(&host);
    auto* group = new GroupBox(&host, "分组框2", 0, 0, 100, 100);
    auto* a1 = new RadioButton(panel, "单选框1", 0, 0, 50, 20);
    auto* a2 = new RadioButton(panel, "单选框2", 0, 20, 50, 20);
    auto* m1 = new RadioButton(group, "单选框5", 0, 0, 50, 20);
    a1->setChecked(true);
    m1->setChecked(true);
    a2->setChecked(true);
    EXPECT_FALSE(a1->isChecked());
    EXPECT_TRUE(a2->isChecked());
    EXPECT_TRUE(m1->isChecked());
}

TEST(ControlsTest, ClickHandlersFollowTheMouse)
{
    QWidget host;
    host.resize(300, 300);
    auto* link = new HyperlinkLabel(&host, "registerLink", 0, 0, 64, 24, GBK("注册用户"));
    auto* picture = new PictureBox(&host, "图片框1", 100, 0, 50, 50);
    auto* label = new Label(&host, "透明标签1", 0, 100, 50, 50, {}, Label::Kind::Transparent);
    int released = 0, pressed = 0, labelPressed = 0;
    link->onLeftRelease = [&] { ++released; };
    picture->onLeftPress = [&] { ++pressed; };
    label->onLeftPress = [&] { ++labelPressed; };
    host.show();
    QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(link, Qt::RightButton);
    QTest::mousePress(picture, Qt::LeftButton);
    QTest::mouseRelease(picture, Qt::LeftButton);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(released, 1);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(labelPressed, 1);
}

TEST(ControlsTest, StatusBarPanesTakeWidthsAndTexts)
{
    QWidget host;
    auto* bar = new StatusBar(&host, "状态条1", 0, 666, 975, 20, 4);
    EXPECT_EQ(bar->paneCount(), 4);
    EXPECT_EQ(bar->paneWidth(3), 243);
    bar->setPaneWidth(0, 100);
    bar->setPaneText(1, GBK("张三"));
    EXPECT_EQ(bar->paneText(1), GBK("张三"));
    const auto panes = bar->findChildren<QLabel*>();
    ASSERT_EQ(panes.size(), 4);
    EXPECT_EQ(panes[1]->x(), 100); // the second pane follows the narrowed first
    bar->setPaneText(9, "ignored");
    EXPECT_EQ(bar->paneText(9), "");
}

TEST(ControlsTest, PictureBoxTakesImageBytesAndRefusesOthers)
{
    QWidget host;
    auto* box = new PictureBox(&host, "图片框1", 0, 0, 20, 20);
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    EXPECT_TRUE(box->setPictureBytes(png.toStdString()));
    EXPECT_TRUE(box->hasPicture());
    EXPECT_FALSE(box->setPictureBytes("not a picture"));
    EXPECT_FALSE(box->hasPicture());
}

TEST(ControlsTest, TimerTicksWhileItHasAPeriodAndStopsAtZero)
{
    QObject owner;
    Timer timer(&owner, "时钟2", 0);
    int ticks = 0;
    timer.onTick = [&ticks] { ++ticks; };
    QTest::qWait(30);
    EXPECT_EQ(ticks, 0);
    timer.setPeriod(5);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 2000);
    timer.setPeriod(0);
    const int stoppedAt = ticks;
    QTest::qWait(40);
    EXPECT_EQ(ticks, stoppedAt);
}

} // namespace
} // namespace kestrova::ui
