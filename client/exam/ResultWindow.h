// The exam result: a picture for pass or fail and four lines of text. It lives on once opened;
// closing it only hides it.
#pragma once

#include <ui/Canvas.h>
#include <ui/Controls.h>
#include <ui/Window.h>

namespace kestrova::exam {

class ResultWindow final : public ui::Window
{
public:
    ResultWindow();

    ui::Canvas* resultCanvas;       // 画板1
    ui::PictureBox* verdictPicture; // 图片框1
};

} // namespace kestrova::exam
