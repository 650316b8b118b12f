#include <QWidget>
#include <gtest/gtest.h>
#include <ui/Canvas.h>

namespace kestrova::ui {
namespace {

class CanvasTest : public ::testing::Test
{
protected:
    QWidget host;
    Canvas* canvas = new Canvas(&host, "画板1", 0, 0, 200, 100);

    void SetUp() override { canvas->setCanvasFont(GBK("宋体"), 14, false); }

    // True when any pixel in the rectangle differs from the background.
    bool inked(int x, int y, int w, int h) const
    {
        const QImage& image = canvas->image();
        const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
        for (int row = y; row < y + h; ++row)
            for (int column = x; column < x + w; ++column)
                if (image.pixel(column, row) != background)
                    return true;
        return false;
    }
};

TEST_F(CanvasTest, ClearingMovesTheWritePositionAndLinesGoDownFromThere)
{
    canvas->writeLine("before");
    canvas->clear(10, 20, 100, 50);
    EXPECT_EQ(canvas->writeX(), 10);
    EXPECT_EQ(canvas->writeY(), 20);

    const int step = canvas->lineHeight();
    ASSERT_GT(step, 0);
    canvas->writeLine("one");
    canvas->writeLine(GBK("第二行"));
    ASSERT_EQ(canvas->drawnTexts().size(), 3u); // "before" lies outside the cleared rectangle
    EXPECT_EQ(canvas->drawnTexts()[1].text, "one");
    EXPECT_EQ(canvas->drawnTexts()[1].x, 10);
    EXPECT_EQ(canvas->drawnTexts()[1].y, 20);
    EXPECT_EQ(canvas->drawnTexts()[2].text, GBK("第二行"));
    EXPECT_EQ(canvas->drawnTexts()[2].x, 10);
    EXPECT_EQ(canvas->drawnTexts()[2].y, 20 + step);
    EXPECT_EQ(canvas->writeY(), 20 + 2 * step);
    EXPECT_TRUE(inked(10, 20, 40, step));
}

TEST_F(CanvasTest, AWholeClearForgetsEverythingAndBlanksThePixels)
{
    canvas->writeAt(5, 5, "x");
    canvas->writeAt(60, 40, 42);
    EXPECT_EQ(canvas->drawnText(), "x\n42");
    canvas->clear();
    EXPECT_TRUE(canvas->drawnTexts().empty());
    EXPECT_FALSE(inked(0, 0, 200, 100));
    EXPECT_EQ(canvas->writeX(), 0);
    EXPECT_EQ(canvas->writeY(), 0);
}

TEST_F(CanvasTest, APartialClearForgetsOnlyWhatStartsInsideIt)
{
    canvas->writeAt(5, 5, "kept");
    canvas->writeAt(120, 60, "gone");
    canvas->clear(100, 50, 100, 50);
    ASSERT_EQ(canvas->drawnTexts().size(), 1u);
    EXPECT_EQ(canvas->drawnTexts()[0].text, "kept");
    EXPECT_FALSE(inked(100, 50, 100, 50));
    EXPECT_TRUE(inked(5, 5, 40, canvas->lineHeight()));
}

TEST_F(CanvasTest, TextIsRecordedWithItsColourAndLineBreaksMakeLines)
{
    canvas->setTextColour(255);
    canvas->writeLine("a\r\nb");
    ASSERT_EQ(canvas->drawnTexts().size(), 2u);
    EXPECT_EQ(canvas->drawnTexts()[0].colour, 255u);
    EXPECT_EQ(canvas->drawnTexts()[1].text, "b");
    EXPECT_EQ(canvas->drawnTexts()[1].y, canvas->lineHeight());
    const QColor drawn = [&] {
        for (int y = 0; y < canvas->lineHeight(); ++y)
            for (int x = 0; x < 20; ++x)
                if (canvas->image().pixelColor(x, y) != Qt::white)
                    return canvas->image().pixelColor(x, y);
        return QColor();
    }();
    EXPECT_GT(drawn.red(), drawn.blue()); // red ink, not the default black
}

TEST_F(CanvasTest, PlainLineWritingRunsOffTheBottomWithoutScrolling)
{
    const int step = canvas->lineHeight();
    const int lines = 100 / step + 2;
    for (int i = 0; i < lines; ++i)
        canvas->writeLine(std::to_string(i));
    EXPECT_EQ(canvas->drawnTexts().front().y, 0);
    EXPECT_EQ(canvas->drawnTexts().back().y, (lines - 1) * step);
}

TEST_F(CanvasTest, ScrollingKeepsTheLastLineAtTheBottomAndDropsLinesScrolledOff)
{
    const int step = canvas->lineHeight();
    const int fitting = 100 / step;
    for (int i = 0; i < fitting; ++i)
        canvas->scrollWriteLine("line" + std::to_string(i));
    EXPECT_EQ(canvas->drawnTexts().front().y, 0); // everything fitted, nothing moved
    ASSERT_EQ(static_cast<int>(canvas->drawnTexts().size()), fitting);

    canvas->scrollWriteLine("last");
    const CanvasText& last = canvas->drawnTexts().back();
    EXPECT_EQ(last.text, "last");
    EXPECT_EQ(last.y + step, 100); // flush with the bottom edge
    EXPECT_EQ(canvas->writeY(), 100);
    const int shift = fitting * step + step - 100;
    EXPECT_EQ(canvas->drawnTexts().front().y, -shift);
    EXPECT_TRUE(inked(0, 100 - step, 60, step));

    // Keep going: the first lines scroll off the record entirely.
    for (int i = 0; i < fitting; ++i)
        canvas->scrollWriteLine("more" + std::to_string(i));
    for (const CanvasText& t : canvas->drawnTexts())
        EXPECT_GT(t.y + step, 0) << t.text;
    EXPECT_EQ(canvas->drawnTexts().back().y + step, 100);
    EXPECT_EQ(canvas->drawnTexts().back().text, "more" + std::to_string(fitting - 1));
}

TEST_F(CanvasTest, ScrollingAfterAClearStartsAtTheClearedCorner)
{
    canvas->clear(30, 40, 50, 20);
    canvas->scrollWriteLine("here");
    EXPECT_EQ(canvas->drawnTexts().back().x, 30);
    EXPECT_EQ(canvas->drawnTexts().back().y, 40);
}

} // namespace
} // namespace kestrova::ui
