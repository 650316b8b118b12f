#include "Controls.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>

namespace kestrova::ui {

QString toDisplayText(const Text& gbk)
{
    QString text = toQt(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

Button::Button(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption)
    : Control(parent, name, x, y, w, h)
{
    setCaption(caption);
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (onClick)
            onClick();
    });
}

CheckBox::CheckBox(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption)
    : Control(parent, name, x, y, w, h)
{
    setCaption(caption);
    connect(this, &QCheckBox::clicked, this, [this] {
        if (onClick)
            onClick();
    });
}

RadioButton::RadioButton(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption)
    : Control(parent, name, x, y, w, h)
{
    setCaption(caption);
    connect(this, &QRadioButton::clicked, this, [this] {
        if (onClick)
            onClick();
    });
}

GroupBox::GroupBox(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption)
    : Control(parent, name, x, y, w, h)
{
    setCaption(caption);
}

Label::Label(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption, Kind kind)
    : Control(parent, name, x, y, w, h)
{
    setCaption(caption);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (kind == Kind::Transparent) {
        setWordWrap(true);
        setAttribute(Qt::WA_TranslucentBackground);
        setAutoFillBackground(false);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
}

void Label::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onLeftPress)
        onLeftPress();
    QLabel::mousePressEvent(event);
}

HyperlinkLabel::HyperlinkLabel(QWidget* parent, const char* name, int x, int y, int w, int h,
                               const Text& caption)
    : Control(parent, name, x, y, w, h)
{
    setCaption(caption);
    setCursor(Qt::PointingHandCursor);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setTextColour(0xFF0000); // blue
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onLeftRelease)
        onLeftRelease();
    QLabel::mouseReleaseEvent(event);
}

int windowsKeyCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    default:
        break;
    }
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey; // the same codes on both sides
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    return 0;
}

EditBox::EditBox(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& text)
    : Control(parent, name, x, y, w, h)
{
    setCaption(text);
}

void EditBox::keyPressEvent(QKeyEvent* event)
{
    if (onKeyDown && onKeyDown(windowsKeyCode(event->key())))
        return;
    QLineEdit::keyPressEvent(event);
}

MultiLineEditBox::MultiLineEditBox(QWidget* parent, const char* name, int x, int y, int w, int h,
                                   const Text& text)
    : Control(parent, name, x, y, w, h)
{
    setCaption(text);
}

void MultiLineEditBox::keyPressEvent(QKeyEvent* event)
{
    if (onKeyDown && onKeyDown(windowsKeyCode(event->key())))
        return;
    QPlainTextEdit::keyPressEvent(event);
}

PictureBox::PictureBox(QWidget* parent, const char* name, int x, int y, int w, int h)
    : Control(parent, name, x, y, w, h)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

bool PictureBox::setPictureBytes(const std::string& bytes)
{
    QPixmap picture;
    if (bytes.empty() || !picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                               static_cast<uint>(bytes.size()))) {
        clear();
        m_hasPicture = false;
        return false;
    }
    setPixmap(picture);
    m_hasPicture = true;
    return true;
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onLeftPress)
        onLeftPress();
    QLabel::mousePressEvent(event);
}

StatusBar::StatusBar(QWidget* parent, const char* name, int x, int y, int w, int h, int panes)
    : Control(parent, name, x, y, w, h)
{
    setFrameShape(QFrame::NoFrame);
    setPaneCount(panes);
}

void StatusBar::setPaneCount(int count)
{
    count = std::max(count, 0);
    while (paneCount() > count) {
        delete m_panes.back();
        m_panes.pop_back();
        m_widths.pop_back();
    }
    while (paneCount() < count) {
        auto* pane = new QLabel(this);
        pane->setObjectName(objectName() + QStringLiteral("_pane%1").arg(paneCount()));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setContentsMargins(2, 0, 2, 0);
        pane->show();
        m_panes.push_back(pane);
        m_widths.push_back(count > 0 ? width() / count : 0);
    }
    layOutPanes();
}

int StatusBar::paneWidth(int index) const
{
    return index >= 0 && index < paneCount() ? m_widths[static_cast<std::size_t>(index)] : 0;
}

void StatusBar::setPaneWidth(int index, int width)
{
    if (index < 0 || index >= paneCount())
        return;
    m_widths[static_cast<std::size_t>(index)] = std::max(width, 0);
    layOutPanes();
}

Text StatusBar::paneText(int index) const
{
    return index >= 0 && index < paneCount() ? fromQt(m_panes[static_cast<std::size_t>(index)]->text())
                                             : Text();
}

void StatusBar::setPaneText(int index, const Text& text)
{
    if (index >= 0 && index < paneCount())
        m_panes[static_cast<std::size_t>(index)]->setText(toQt(text));
}

void StatusBar::layOutPanes()
{
    int x = 0;
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        m_panes[i]->setGeometry(x, 0, m_widths[i], height());
        x += m_widths[i];
    }
}

Timer::Timer(QObject* parent, const char* name, int periodMs) : QObject(parent)
{
    setObjectName(designName(name));
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (onTick)
            onTick();
    });
    setPeriod(periodMs);
}

void Timer::setPeriod(int ms)
{
    m_period = std::max(ms, 0);
    if (m_period == 0) {
        m_timer.stop();
        return;
    }
    m_timer.start(m_period);
}

} // namespace kestrova::ui
