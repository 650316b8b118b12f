// A browser view (超文本浏览框) over QtWebEngine. All views share one profile. The engine starts
// only when a view first needs a page: a view whose address is still "about:blank" holds no
// engine view at all, so windows without pages start as fast as plain Qt windows.
#pragma once

#include "Controls.h"

#include <QWidget>

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace kestrova::ui {

// The flags handed to the engine through QTWEBENGINE_CHROMIUM_FLAGS. A non-empty gateway
// ("host:port") sends every host name there while URLs and Host headers stay unchanged.
std::string chromiumFlags(const std::string& gateway);
// Puts the flags (after any already in the environment) and, when running as root, the sandbox
// switch into the environment. Must run before the application object is created.
void prepareWebEngineEnvironment(const std::string& gateway);

// The one profile every view uses (created on first use).
QWebEngineProfile* sharedProfile();
// How many engine views the program has created so far.
int engineViewsCreated();

class BrowserView final : public Control<QWidget>
{
public:
    BrowserView(QWidget* parent, const char* name, int x, int y, int w, int h, const Text& address = {});

    Text address() const;
    // Navigates to address; "about:blank" empties the view. Returns at once.
    void setAddress(const Text& address);

    bool silent() const { return m_silent; }
    // Silent: the page's script dialogs (alert, confirm, prompt) are answered without showing.
    void setSilent(bool on);
    bool offline() const { return m_offline; }
    // Offline: loads prefer cached copies; a page not in the cache still loads from the network.
    void setOffline(bool on);

    // A new-window request (target=_blank, window.open) with the requested address: true lets the
    // address open in the desktop's browser, false (and no handler) refuses it.
    std::function<bool(const Text& url)> onNewWindow;

    bool hasEngineView() const { return m_view != nullptr; }
    // The engine view and its page, created on demand; later layers read the document through them.
    QWebEngineView* engineView();
    QWebEnginePage* page();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWebEngineView* m_view = nullptr;
    Text m_address;
    bool m_silent = false;
    bool m_offline = false;
};

} // namespace kestrova::ui
