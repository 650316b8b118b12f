#include "Canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace kestrova::ui {
namespace {

// The lines of a text; "\r\n", "\n" and "\r" all end a line.
std::vector<Text> splitLines(const Text& text)
{
    std::vector<Text> lines;
    Text line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    lines.push_back(line);
    return lines;
}

} // namespace

Canvas::Canvas(QWidget* parent, const char* name, int x, int y, int w, int h)
    : Control(parent, name, x, y, w, h), m_image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32)
{
    setBackgroundColour(0xFFFFFF);
    m_font = font();
    m_image.fill(background());
}

QColor Canvas::background() const
{
    return colourFromValue(backgroundColour().value_or(0xFFFFFF));
}

void Canvas::setCanvasFont(const Text& family, int pixelHeight, bool bold)
{
    m_font = QFont(toQt(family));
    m_font.setPixelSize(std::max(pixelHeight, 1));
    m_font.setBold(bold);
}

int Canvas::lineHeight() const
{
    return QFontMetrics(m_font).height();
}

void Canvas::clear(int x, int y, int w, int h)
{
    const int right = w > 0 ? x + w : width();
    const int bottom = h > 0 ? y + h : height();
    const QRect area(QPoint(x, y), QPoint(right - 1, bottom - 1));
    QPainter painter(&m_image);
    painter.fillRect(area, background());
    painter.end();
    std::erase_if(m_drawn, [&](const CanvasText& t) { return area.contains(t.x, t.y); });
    m_writeX = x;
    m_writeY = y;
    update();
}

void Canvas::drawText(int x, int y, const Text& text)
{
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(m_font);
    painter.setPen(colourFromValue(textColour()));
    const QFontMetrics metrics(m_font);
    int lineY = y;
    for (const Text& line : splitLines(text)) {
        painter.drawText(x, lineY + metrics.ascent(), toQt(line));
        lineY += metrics.height();
    }
    painter.end();
    m_drawn.push_back({text, x, y, textColour()});
    update();
}

void Canvas::writeAt(int x, int y, const Text& text)
{
    drawText(x, y, text);
}

void Canvas::writeAt(int x, int y, long long number)
{
    drawText(x, y, std::to_string(number));
}

void Canvas::writeLines(const Text& text, bool scroll)
{
    const int step = lineHeight();
    for (const Text& line : splitLines(text)) {
        if (scroll && m_writeY + step > height()) {
            const int shift = m_writeY + step - height();
            // Move the picture up and blank what comes free at the bottom.
            if (shift < m_image.height()) {
                const QImage moved = m_image.copy(0, shift, m_image.width(), m_image.height() - shift);
                m_image.fill(background());
                QPainter painter(&m_image);
                painter.drawImage(0, 0, moved);
            } else {
                m_image.fill(background());
            }
            for (CanvasText& t : m_drawn)
                t.y -= shift;
            std::erase_if(m_drawn, [step](const CanvasText& t) { return t.y + step <= 0; });
            m_writeY -= shift;
        }
        drawText(m_writeX, m_writeY, line);
        m_writeY += step;
    }
}

void Canvas::writeLine(const Text& text)
{
    writeLines(text, false);
}

void Canvas::scrollWriteLine(const Text& text)
{
    writeLines(text, true);
}

Text Canvas::drawnText() const
{
    Text all;
    for (const CanvasText& t : m_drawn) {
        if (!all.empty())
            all += '\n';
        all += t.text;
    }
    return all;
}

void Canvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void Canvas::resizeEvent(QResizeEvent* event)
{
    const QSize wanted = event->size().expandedTo(QSize(1, 1));
    if (wanted.width() > m_image.width() || wanted.height() > m_image.height()) {
        QImage grown(wanted.expandedTo(m_image.size()), QImage::Format_RGB32);
        grown.fill(background());
        QPainter painter(&grown);
        painter.drawImage(0, 0, m_image);
        painter.end();
        m_image = std::move(grown);
    }
    QWidget::resizeEvent(event);
}

} // namespace kestrova::ui
