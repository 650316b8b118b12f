#include "ExamWindow.h"

namespace kestrova::exam {
namespace {

constexpr std::uint32_t kChatEntryBlue = 15919313;

} // namespace

ExamWindow::ExamWindow() : Window("ExamWindow", GBK("KestrovaV1.0"), 50, 50, 981, 722)
{
    QWidget* area = client();
    titleLabel = new ui::Label(area, "透明标签3", 384, 32, 592, 80,
                               GBK("Kestrova 理论考题 真人语音\r\n网络版仿真考试题目3种学习模式"),
                               ui::Label::Kind::Transparent);
    QFont titleFont(QString::fromUtf8("楷体"));
    titleFont.setPixelSize(32);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    bannerPicture = new ui::PictureBox(area, "图片框3", 64, 20, 319, 116);

    questionCanvas = new ui::Canvas(area, "画板1", 6, 145, 430, 253);
    questionPicture = new ui::PictureBox(area, "图片框1", 6, 397, 216, 198);
    examClockTimer = new ui::Timer(questionPicture, "时钟2", 0);
    mediaPanel = new ui::PictureBox(area, "图片框5", 6, 398, 215, 96);
    mediaLabel = new ui::Label(mediaPanel, "透明标签1", -7, -7, 224, 104, {}, ui::Label::Kind::Transparent);
    mediaView = new ui::BrowserView(mediaPanel, "超文本浏览框4", -2, -93, 233, 281, "about:blank");

    answerPanel = new ui::PictureBox(area, "图片框4", 220, 397, 216, 198);
    const int radioTops[4] = {71, 104, 135, 166};
    const int checkTops[4] = {79, 109, 138, 168};
    const char* radioNames[4] = {"单选框1", "单选框2", "单选框3", "单选框4"};
    const char* checkNames[4] = {"选择框1", "选择框2", "选择框3", "选择框4"};
    for (int i = 0; i < 4; ++i) {
        answerRadios[i] = new ui::RadioButton(answerPanel, radioNames[i], 7, radioTops[i], 196, 32);
        answerRadios[i]->setTag(std::to_string(i + 1));
        answerRadios[i]->hide();
        answerChecks[i] = new ui::CheckBox(answerPanel, checkNames[i], 6, checkTops[i], 203, 24);
        answerChecks[i]->setTag(std::to_string(i + 1));
        answerChecks[i]->hide();
    }
    clockCanvas = new ui::Canvas(answerPanel, "画板4", -1, -1, 163, 67);
    clockCanvas->setCanvasFont(GBK("楷体"), 56, true);
    clockCanvas->hide();
    statusCanvas = new ui::Canvas(answerPanel, "画板5", 132, -5, 83, 71);
    statusCanvas->setCanvasFont(GBK("楷体"), 14, true);
    statusCanvas->hide();
    mediaPanel->hide();

    chatCanvas = new ui::Canvas(area, "画板2", 435, 145, 533, 450);
    chatView = new ui::BrowserView(chatCanvas, "聊天超文本浏览框", -35, -20, 586, 488);
    chatEntry = new ui::MultiLineEditBox(area, "编辑框3", 435, 538, 447, 57);
    chatEntry->setBackgroundColour(kChatEntryBlue);
    sendButton = new ui::Button(area, "按钮6", 882, 540, 86, 55, GBK("发送信息"));

    bottomGroup = new ui::GroupBox(area, "分组框2", 6, 591, 963, 73);
    randomModeRadio = new ui::RadioButton(bottomGroup, "单选框5", 11, 13, 72, 16, GBK("随机模式"));
    sequentialModeRadio = new ui::RadioButton(bottomGroup, "单选框6", 11, 30, 72, 14, GBK("顺序模式"));
    examModeRadio = new ui::RadioButton(bottomGroup, "单选框7", 11, 44, 72, 16, GBK("考试模式"));
    modeButton = new ui::Button(bottomGroup, "按钮2", 84, 15, 62, 48, GBK("选择模式"));
    submitButton = new ui::Button(bottomGroup, "按钮7", 223, 15, 62, 48, GBK("提交答案"));
    explainButton = new ui::Button(bottomGroup, "按钮10", 285, 15, 62, 48, GBK("听解释"));
    nextButton = new ui::Button(bottomGroup, "按钮11", 347, 15, 62, 48, GBK("下一题"));
    promptSoundBox =
        new ui::CheckBox(bottomGroup, "选择框7", 418, 27, 264, 24, GBK("关闭/打开提示声音(下一题生效)"));
    for (ui::Button* waiting : {submitButton, explainButton, nextButton})
        waiting->setDisabled(true);

    statusBar = new ui::StatusBar(area, "状态条1", 0, 666, 975, 20, 4);
    statusBar->setPaneText(0, GBK("QQ账号："));
    statusBar->setPaneText(2, GBK("北京时间："));

    onlineCountView = new ui::BrowserView(area, "超文本浏览框2", -80, 401, 16, 16, "about:blank");
    speechView = new ui::BrowserView(area, "超文本浏览框5", -80, 136, 24, 16);
    musicView = new ui::BrowserView(area, "超文本浏览框1", -136, 88, 32, 32);
    chosenAnswerBox = new ui::EditBox(area, "编辑框2", -232, 448, 16, 16);
    clearQuestionButton = new ui::Button(area, "按钮3", -147, 436, 80, 48, GBK("清除"));
    musicBox = new ui::CheckBox(area, "选择框5", 471, 726, 118, 18, GBK("开启320K高音质DJ"));
    messagesCanvas = new ui::Canvas(area, "画板3", 459, 849, 208, 450);
    messagesView =
        new ui::BrowserView(messagesCanvas, "聊天超文本浏览框1", -30, -108, 238, 487, "about:blank");
    clearChatButton = new ui::Button(area, "按钮8", 540, 876, 56, 19, GBK("清屏"));
    clearMessagesButton = new ui::Button(area, "按钮9", 596, 876, 80, 19, GBK("上线消息清屏"));

    // The chat pages are for reading only: as often as the timer allows, their views are kept
    // from taking mouse or keyboard input.
    chatLockTimer = new ui::Timer(this, "时钟1", 1);
    chatLockTimer->onTick = [this] {
        messagesView->setDisabled(true);
        chatView->setDisabled(true);
    };
}

} // namespace kestrova::exam
