// A canvas (画板): a drawing surface with its own backing picture, so what is drawn stays drawn
// until cleared (auto-redraw). Text goes either to a given point or to the write position, which
// clearing sets and each written line moves down. Every canvas also keeps the texts it has drawn
// since it was last cleared, so the program and tests can read what the user sees.
#pragma once

#include "Controls.h"

#include <QImage>
#include <QWidget>

namespace kestrova::ui {

struct CanvasText
{
    Text text;
    int x = 0; // top-left corner of the text, canvas pixels
    int y = 0;
    std::uint32_t colour = 0; // 0x00BBGGRR
};

class Canvas final : public Control<QWidget>
{
public:
    Canvas(QWidget* parent, const char* name, int x, int y, int w, int h);

    bool autoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool on) { m_autoRedraw = on; }

    // Font of everything written from now on.
    void setCanvasFont(const Text& family, int pixelHeight, bool bold);
    int lineHeight() const;

    // Fills the rectangle with the background colour and moves the write position to its top-left
    // corner; a width or height below 1 means up to the canvas edge. Recorded texts that start
    // inside the rectangle are forgotten.
    void clear(int x = 0, int y = 0, int w = 0, int h = 0);
    // Writes text (or a number, in decimal) with its top-left corner at (x, y) in the text colour.
    void writeAt(int x, int y, const Text& text);
    void writeAt(int x, int y, long long number);
    // Writes text at the write position and moves the position down by one line per line written.
    void writeLine(const Text& text);
    // The same, but first scrolls the canvas up as far as needed when the line would pass the bottom.
    void scrollWriteLine(const Text& text);

    int writeX() const { return m_writeX; }
    int writeY() const { return m_writeY; }

    const std::vector<CanvasText>& drawnTexts() const { return m_drawn; }
    // The recorded texts in drawing order, one per line.
    Text drawnText() const;
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void drawText(int x, int y, const Text& text);
    void writeLines(const Text& text, bool scroll);
    QColor background() const;

    QImage m_image;
    QFont m_font;
    bool m_autoRedraw = true;
    int m_writeX = 0;
    int m_writeY = 0;
    std::vector<CanvasText> m_drawn;
};

} // namespace kestrova::ui
