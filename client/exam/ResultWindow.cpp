#include "ResultWindow.h"

namespace kestrova::exam {

ResultWindow::ResultWindow() : Window("ResultWindow", GBK("考试结果"), 50, 50, 576, 222)
{
    resultCanvas = new ui::Canvas(client(), "画板1", 195, 32, 304, 134);
    resultCanvas->setCanvasFont(GBK("宋体"), 19, true);
    verdictPicture = new ui::PictureBox(client(), "图片框1", 22, 16, 162, 129);
    onCloseRequest = [this] {
        hide();
        return false;
    };
}

} // namespace kestrova::exam
