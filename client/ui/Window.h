// A top-level window of the program. Its design size is the outer size the designs give (frame
// and title bar included); controls are placed in its client area, below the menu bar if it has
// one. Opening runs the window's creation handler once; a close request asks onCloseRequest, and
// an accepted close destroys the window.
#pragma once

#include "Boundary.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QEventLoop;
class QMenu;
class QMenuBar;

namespace kestrova::ui {

// A menu of a window's menu bar.
class Menu final
{
public:
    explicit Menu(QMenu* menu) : m_menu(menu) {}
    QAction* addEntry(const Text& caption, std::function<void()> action);
    void addSeparator();
    QMenu* qtMenu() const { return m_menu; }

private:
    QMenu* m_menu;
};

class Window : public QWidget
{
public:
    // The frame the designs count in a window's size: borders left and right, title bar and
    // borders top and bottom.
    static constexpr int kFrameWidth = 6;
    static constexpr int kFrameHeight = 36;
    static constexpr int kMenuBarHeight = 20;

    Window(const char* name, const Text& caption, int x, int y, int designWidth, int designHeight);
    ~Window() override;

    Text caption() const;
    void setCaption(const Text& caption);

    // The area the controls sit in.
    QWidget* client() const { return m_client; }
    Menu addMenu(const Text& title);

    int designWidth() const { return width() + kFrameWidth; }
    int designHeight() const { return height() + kFrameHeight; }

    // Opens the window not modal: the first time its creation handler runs, and only when that
    // succeeds is the window shown (when visible) and activated. Opening an open window only
    // activates it. False when the creation failed; the window is then destroyed.
    bool open(bool visible = true);
    // Opens the window modal to the whole program and returns when it is destroyed.
    bool openModal();
    // Activates the window (brings it to the front when it is shown).
    void activate();
    // Destroys the window without asking its close handler.
    void destroyWindow();
    bool isCreated() const { return m_created && !m_destroyed; }
    bool isDestroyed() const { return m_destroyed; }

    // Creation: false makes the opening fail.
    std::function<bool()> onCreate;
    // Close request: false refuses the close and leaves the window as it is.
    std::function<bool()> onCloseRequest;
    std::function<void()> onDestroy;
    // Every activation; firstActivation tells the first one apart.
    std::function<void(bool firstActivation)> onActivate;
    // Runs whenever the program becomes idle: once each time the UI thread has worked through
    // its pending events and is about to wait for more.
    void setIdleHandler(std::function<void()> handler);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QEventLoop* m_modalLoop = nullptr;
    std::function<void()> m_onIdle;
    friend class IdleNotifier;
    bool m_created = false;
    bool m_destroyed = false;
    bool m_activatedOnce = false;
};

// The program's visible top-level windows: the modal one first, then the active one, then the others.
std::vector<Window*> visibleWindows();
// Brings a window forward: shows it when hidden, restores it when minimised, raises and activates it.
void bringToFront(QWidget* window);

} // namespace kestrova::ui
