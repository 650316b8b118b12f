// The main practice window: question canvas and picture, answer panel, chat area, the mode and
// answer buttons, the status bar, and the hidden browser views for the count page, speech and
// music. Controls carry their design names; several lie outside the window on purpose.
#pragma once

#include <array>
#include <ui/BrowserView.h>
#include <ui/Canvas.h>
#include <ui/Controls.h>
#include <ui/Window.h>

namespace kestrova::exam {

class ExamWindow final : public ui::Window
{
public:
    ExamWindow();

    ui::Label* titleLabel;                        // 透明标签3
    ui::PictureBox* bannerPicture;                // 图片框3
    ui::Canvas* questionCanvas;                   // 画板1
    ui::PictureBox* questionPicture;              // 图片框1
    ui::Timer* examClockTimer;                    // 时钟2
    ui::PictureBox* mediaPanel;                   // 图片框5
    ui::Label* mediaLabel;                        // 透明标签1
    ui::BrowserView* mediaView;                   // 超文本浏览框4
    ui::PictureBox* answerPanel;                  // 图片框4
    std::array<ui::RadioButton*, 4> answerRadios; // 单选框1 … 单选框4
    std::array<ui::CheckBox*, 4> answerChecks;    // 选择框1 … 选择框4
    ui::Canvas* clockCanvas;                      // 画板4
    ui::Canvas* statusCanvas;                     // 画板5
    ui::Canvas* chatCanvas;                       // 画板2
    ui::BrowserView* chatView;                    // 聊天超文本浏览框
    ui::MultiLineEditBox* chatEntry;              // 编辑框3
    ui::Button* sendButton;                       // 按钮6
    ui::GroupBox* bottomGroup;                    // 分组框2
    ui::RadioButton* randomModeRadio;             // 单选框5
    ui::RadioButton* sequentialModeRadio;         // 单选框6
    ui::RadioButton* examModeRadio;               // 单选框7
    ui::Button* modeButton;                       // 按钮2
    ui::Button* submitButton;                     // 按钮7
    ui::Button* explainButton;                    // 按钮10
    ui::Button* nextButton;                       // 按钮11
    ui::CheckBox* promptSoundBox;                 // 选择框7
    ui::StatusBar* statusBar;                     // 状态条1
    ui::Timer* chatLockTimer;                     // 时钟1
    ui::BrowserView* onlineCountView;             // 超文本浏览框2
    ui::BrowserView* speechView;                  // 超文本浏览框5
    ui::BrowserView* musicView;                   // 超文本浏览框1
    ui::EditBox* chosenAnswerBox;                 // 编辑框2
    ui::Button* clearQuestionButton;              // 按钮3
    ui::CheckBox* musicBox;                       // 选择框5
    ui::Canvas* messagesCanvas;                   // 画板3
    ui::BrowserView* messagesView;                // 聊天超文本浏览框1
    ui::Button* clearChatButton;                  // 按钮8
    ui::Button* clearMessagesButton;              // 按钮9
};

} // namespace kestrova::exam
