#include "Window.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace kestrova::ui {

// Tells the windows with an idle handler when the UI thread runs out of events. The handlers run
// from a zero timer, and the wait that follows their own run does not count as a new idle moment,
// so an idle program does not spin.
class IdleNotifier final : public QObject
{
public:
    static IdleNotifier& instance()
    {
        static auto* notifier = new IdleNotifier;
        return *notifier;
    }

    void add(Window* window)
    {
        if (std::find(m_windows.begin(), m_windows.end(), window) == m_windows.end())
            m_windows.push_back(window);
    }

private:
    IdleNotifier() : QObject(QCoreApplication::instance())
    {
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &IdleNotifier::aboutToBlock);
    }

    void aboutToBlock()
    {
        if (m_justRan) {
            m_justRan = false;
            return;
        }
        if (m_pending)
            return;
        m_pending = true;
        QTimer::singleShot(0, this, [this] {
            m_pending = false;
            m_justRan = true;
            std::erase_if(m_windows, [](const QPointer<Window>& w) { return !w; });
            const auto windows = m_windows;
            for (const QPointer<Window>& window : windows) {
                if (window && !window->isDestroyed() && window->m_onIdle)
                    window->m_onIdle();
            }
        });
    }

    std::vector<QPointer<Window>> m_windows;
    bool m_pending = false;
    bool m_justRan = false;
};

QAction* Menu::addEntry(const Text& caption, std::function<void()> action)
{
    QAction* entry = m_menu->addAction(toQt(caption));
    entry->setObjectName(toQt(caption));
    QObject::connect(entry, &QAction::triggered, entry, [action = std::move(action)] {
        if (action)
            action();
    });
    return entry;
}

void Menu::addSeparator()
{
    m_menu->addSeparator();
}

Window::Window(const char* name, const Text& caption, int x, int y, int designWidth, int designHeight)
{
    setObjectName(designName(name));
    setCaption(caption);
    setAttribute(Qt::WA_DeleteOnClose, false); // destruction is explicit, see destroyWindow
    resize(designWidth - kFrameWidth, designHeight - kFrameHeight);
    move(x, y);
    m_client = new QWidget(this);
    m_client->setObjectName(objectName() + QStringLiteral("_client"));
    m_client->setGeometry(rect());
}

Window::~Window()
{
    if (m_modalLoop)
        m_modalLoop->quit();
}

void Window::setIdleHandler(std::function<void()> handler)
{
    m_onIdle = std::move(handler);
    if (m_onIdle)
        IdleNotifier::instance().add(this);
}

Text Window::caption() const
{
    return fromQt(windowTitle());
}

void Window::setCaption(const Text& caption)
{
    setWindowTitle(toQt(caption));
}

Menu Window::addMenu(const Text& title)
{
    if (!m_menuBar) {
        m_menuBar = new QMenuBar(this);
        m_menuBar->setObjectName(objectName() + QStringLiteral("_menuBar"));
        m_menuBar->setGeometry(0, 0, width(), kMenuBarHeight);
        m_client->setGeometry(0, kMenuBarHeight, width(), height() - kMenuBarHeight);
    }
    QMenu* menu = m_menuBar->addMenu(toQt(title));
    menu->setObjectName(toQt(title));
    return Menu(menu);
}

bool Window::open(bool visible)
{
    if (m_destroyed)
        return false;
    if (m_created) {
        activate();
        return true;
    }
    m_created = true;
    if (onCreate && !onCreate()) {
        destroyWindow();
        return false;
    }
    if (m_destroyed) // the creation itself may end the window
        return false;
    if (visible) {
        show();
        activate();
    }
    return true;
}

bool Window::openModal()
{
    setWindowModality(Qt::ApplicationModal);
    if (!open())
        return false;
    if (m_destroyed)
        return true;
    QEventLoop loop;
    m_modalLoop = &loop;
    QPointer<Window> self(this);
    loop.exec();
    if (self)
        self->m_modalLoop = nullptr;
    return true;
}

void Window::activate()
{
    if (!isVisible())
        return;
    raise();
    activateWindow();
}

void Window::destroyWindow()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (onDestroy)
        onDestroy();
    hide();
    if (m_modalLoop) {
        m_modalLoop->quit();
        m_modalLoop = nullptr;
    }
    deleteLater();
}

void Window::closeEvent(QCloseEvent* event)
{
    if (m_destroyed) {
        event->accept();
        return;
    }
    if (onCloseRequest && !onCloseRequest()) {
        event->ignore();
        return;
    }
    event->ignore(); // the window goes by destroyWindow, not by Qt's own close
    destroyWindow();
}

void Window::resizeEvent(QResizeEvent* event)
{
    const int top = m_menuBar ? kMenuBarHeight : 0;
    if (m_menuBar)
        m_menuBar->setGeometry(0, 0, width(), kMenuBarHeight);
    m_client->setGeometry(0, top, width(), height() - top);
    QWidget::resizeEvent(event);
}

bool Window::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && onActivate) {
        const bool first = !m_activatedOnce;
        m_activatedOnce = true;
        onActivate(first);
    }
    return QWidget::event(event);
}

std::vector<Window*> visibleWindows()
{
    std::vector<Window*> windows;
    auto add = [&windows](QWidget* widget) {
        auto* window = dynamic_cast<Window*>(widget);
        if (window && window->isVisible() && !window->isDestroyed() &&
            std::find(windows.begin(), windows.end(), window) == windows.end())
            windows.push_back(window);
    };
    add(QApplication::activeModalWidget());
    add(QApplication::activeWindow());
    for (QWidget* widget : QApplication::topLevelWidgets())
        add(widget);
    return windows;
}

void bringToFront(QWidget* window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    if (!window->isVisible())
        window->showNormal();
    else if (window->windowState() & Qt::WindowMinimized)
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace kestrova::ui
