// The controls of the window designs: each sits at a fixed pixel place inside its container, is
// found by its design name (objectName), and takes and gives its texts as GBK. Event handlers are
// plain functions set by the window that owns the control.
#pragma once

#include "Boundary.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

class QMenu;

namespace kestrova::ui {

// "\r\n" in a design text is a line break; Qt wants "\n" alone.
QString toDisplayText(const Text& gbk);

// Properties every control shares, over any Qt widget class.
template <class QtWidget> class Control : public QtWidget
{
public:
    Control(QWidget* parent, const char* name, int x, int y, int w, int h) : QtWidget(parent)
    {
        this->setObjectName(designName(name));
        this->setGeometry(x, y, w, h);
    }

    Text caption() const
    {
        if constexpr (std::is_base_of_v<QAbstractButton, QtWidget>)
            return fromQt(this->text());
        else if constexpr (std::is_base_of_v<QGroupBox, QtWidget>)
            return fromQt(this->title());
        else if constexpr (std::is_base_of_v<QPlainTextEdit, QtWidget>)
            return fromQt(this->toPlainText());
        else if constexpr (std::is_base_of_v<QLineEdit, QtWidget> || std::is_base_of_v<QLabel, QtWidget>)
            return fromQt(this->text());
        else
            return fromQt(this->windowTitle());
    }

    void setCaption(const Text& text)
    {
        if constexpr (std::is_base_of_v<QAbstractButton, QtWidget>)
            this->setText(toDisplayText(text));
        else if constexpr (std::is_base_of_v<QGroupBox, QtWidget>)
            this->setTitle(toDisplayText(text));
        else if constexpr (std::is_base_of_v<QPlainTextEdit, QtWidget>)
            this->setPlainText(toQt(text));
        else if constexpr (std::is_base_of_v<QLineEdit, QtWidget>)
            this->setText(toQt(text));
        else if constexpr (std::is_base_of_v<QLabel, QtWidget>)
            this->setText(toDisplayText(text));
        else
            this->setWindowTitle(toQt(text));
    }

    const Text& tag() const { return m_tag; }
    void setTag(const Text& tag) { m_tag = tag; }

    bool isDisabled() const { return !this->isEnabled(); }

    int left() const { return this->x(); }
    int top() const { return this->y(); }
    void setLeft(int x) { this->move(x, this->y()); }
    void setTop(int y) { this->move(this->x(), y); }
    void setWidth(int w) { this->resize(w, this->height()); }
    void setHeight(int h) { this->resize(this->width(), h); }
    int clientWidth() const { return this->contentsRect().width(); }

    std::optional<std::uint32_t> backgroundColour() const { return m_background; }
    void setBackgroundColour(std::uint32_t value)
    {
        m_background = value;
        QPalette palette = this->palette();
        const QColor colour = colourFromValue(value);
        palette.setColor(QPalette::Base, colour);
        palette.setColor(QPalette::Window, colour);
        palette.setColor(QPalette::Button, colour);
        this->setPalette(palette);
        if constexpr (!std::is_base_of_v<QLineEdit, QtWidget> && !std::is_base_of_v<QPlainTextEdit, QtWidget>)
            this->setAutoFillBackground(true);
    }

    std::uint32_t textColour() const { return m_textColour; }
    void setTextColour(std::uint32_t value)
    {
        m_textColour = value;
        QPalette palette = this->palette();
        const QColor colour = colourFromValue(value);
        palette.setColor(QPalette::Text, colour);
        palette.setColor(QPalette::WindowText, colour);
        palette.setColor(QPalette::ButtonText, colour);
        this->setPalette(palette);
    }

private:
    Text m_tag;
    std::optional<std::uint32_t> m_background;
    std::uint32_t m_textColour = 0;
};

class Button final : public Control<QPushButton>
{
public:
    Button(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption = {});
    std::function<void()> onClick;
};

class CheckBox final : public Control<QCheckBox>
{
public:
    CheckBox(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption = {});
    std::function<void()> onClick;
};

// Radio buttons exclude each other within their container.
class RadioButton final : public Control<QRadioButton>
{
public:
    RadioButton(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption = {});
    std::function<void()> onClick;
};

class GroupBox final : public Control<QGroupBox>
{
public:
    GroupBox(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption = {});
};

// A label; the transparent kind draws no background and shows what lies behind it. Both report
// a left-button press to onLeftPress.
class Label final : public Control<QLabel>
{
public:
    enum class Kind
    {
        Plain,
        Transparent
    };
    Label(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption = {},
          Kind kind = Kind::Plain);
    std::function<void()> onLeftPress;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// Underlined blue text; onLeftRelease runs when the left button is released over it.
class HyperlinkLabel final : public Control<QLabel>
{
public:
    HyperlinkLabel(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& caption);
    std::function<void()> onLeftRelease;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Windows key codes the handlers test (Enter is 13).
int windowsKeyCode(int qtKey);

// A one-line edit box. onKeyDown gets the key code of every key press; returning true swallows
// the key, false leaves it to the box.
class EditBox final : public Control<QLineEdit>
{
public:
    EditBox(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& text = {});
    std::function<bool(int keyCode)> onKeyDown;
    void setPasswordMode(bool on) { setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class MultiLineEditBox final : public Control<QPlainTextEdit>
{
public:
    MultiLineEditBox(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& text = {});
    std::function<bool(int keyCode)> onKeyDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A picture box: shows a picture at its top-left corner and holds other controls.
class PictureBox final : public Control<QLabel>
{
public:
    PictureBox(QWidget* parent, const char* name, int x, int y, int w, int h);
    // Shows the picture in bytes (PNG, JPEG, BMP, ...); false when they are no picture.
    bool setPictureBytes(const std::string& bytes);
    bool hasPicture() const { return m_hasPicture; }
    std::function<void()> onLeftPress;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_hasPicture = false;
};

// A status bar of panes laid side by side from the left.
class StatusBar final : public Control<QFrame>
{
public:
    StatusBar(QWidget* parent, const char* name, int x, int y, int w, int h, int panes);
    int paneCount() const { return static_cast<int>(m_panes.size()); }
    void setPaneCount(int count);
    int paneWidth(int index) const;
    void setPaneWidth(int index, int width);
    Text paneText(int index) const;
    void setPaneText(int index, const Text& text);

private:
    void layOutPanes();
    std::vector<QLabel*> m_panes;
    std::vector<int> m_widths;
};

// A timer control: period in milliseconds, 0 stops it; onTick runs each period on the UI thread.
class Timer final : public QObject
{
public:
    Timer(QObject* parent, const char* name, int periodMs = 0);
    int period() const { return m_period; }
    void setPeriod(int ms);
    std::function<void()> onTick;

private:
    QTimer m_timer;
    int m_period = 0;
};

} // namespace kestrova::ui
