#include "BrowserView.h"

#include "Platform.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <QStandardPaths>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cstdlib>
#include <unistd.h>

namespace kestrova::ui {
namespace {

int g_viewsCreated = 0;
const char kBlank[] = "about:blank";

// A page that can answer the page's script dialogs itself instead of opening a modal box.
class QuietPage final : public QWebEnginePage
{
public:
    QuietPage(QWebEngineProfile* profile, QObject* parent, const bool& silent)
        : QWebEnginePage(profile, parent), m_silent(silent)
    {}

protected:
    void javaScriptAlert(const QUrl& origin, const QString& message) override
    {
        if (!m_silent)
            QWebEnginePage::javaScriptAlert(origin, message);
    }
    bool javaScriptConfirm(const QUrl& origin, const QString& message) override
    {
        return m_silent ? false : QWebEnginePage::javaScriptConfirm(origin, message);
    }
    bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                          QString* result) override
    {
        return m_silent ? false : QWebEnginePage::javaScriptPrompt(origin, message, defaultValue, result);
    }

private:
    const bool& m_silent;
};

} // namespace

std::string chromiumFlags(const std::string& gateway)
{
    std::string flags;
    if (!gateway.empty())
        flags += "--host-resolver-rules=\"MAP * " + gateway + "\" ";
    // Speech pages autoplay; hidden views keep their timers; one renderer and in-process audio
    // keep the process count and memory down.
    flags += "--autoplay-policy=no-user-gesture-required"
             " --disable-background-timer-throttling --disable-renderer-backgrounding"
             " --renderer-process-limit=1 --disable-features=AudioServiceOutOfProcess";
    return flags;
}

void prepareWebEngineEnvironment(const std::string& gateway)
{
    std::string flags = chromiumFlags(gateway);
    if (const char* existing = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"); existing && *existing)
        flags = std::string(existing) + " " + flags;
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    // The engine refuses to start its sandbox as root.
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}

QWebEngineProfile* sharedProfile()
{
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile(QStringLiteral("kestrova"), QCoreApplication::instance());
        p->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        // Speech and music pages start playing by themselves, with no click in the page.
        p->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        return p;
    }();
    return profile;
}

int engineViewsCreated()
{
    return g_viewsCreated;
}

BrowserView::BrowserView(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& address)
    : Control(parent, name, x, y, w, h)
{
    m_address = address.empty() ? Text(kBlank) : address;
    if (m_address != kBlank)
        setAddress(m_address);
}

QWebEngineView* BrowserView::engineView()
{
    if (m_view)
        return m_view;
    ++g_viewsCreated;
    m_view = new QWebEngineView(this);
    m_view->setObjectName(objectName() + QStringLiteral("_engine"));
    auto* quietPage = new QuietPage(sharedProfile(), m_view, m_silent);
    m_view->setPage(quietPage);
    m_view->setGeometry(rect());
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->show();
    connect(quietPage, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                const Text url = fromQt(request.requestedUrl().toString());
                // Not opening the request refuses it: the engine then shows no new window.
                if (onNewWindow && onNewWindow(url))
                    platform().openUrl(url);
            });
    return m_view;
}

QWebEnginePage* BrowserView::page()
{
    return engineView()->page();
}

Text BrowserView::address() const
{
    if (!m_view)
        return m_address;
    const QUrl url = m_view->url();
    return url.isEmpty() ? m_address : fromQt(url.toString());
}

void BrowserView::setAddress(const Text& address)
{
    m_address = address.empty() ? Text(kBlank) : address;
    if (!m_view && m_address == kBlank)
        return; // nothing shown yet, nothing to empty
    engineView()->setUrl(QUrl(toQt(m_address)));
}

void BrowserView::setSilent(bool on)
{
    m_silent = on;
}

void BrowserView::setOffline(bool on)
{
    m_offline = on;
}

void BrowserView::resizeEvent(QResizeEvent* event)
{
    if (m_view)
        m_view->setGeometry(rect());
    QWidget::resizeEvent(event);
}

} // namespace kestrova::ui
