#include "Program.h"

#include "SingleInstance.h"
#include "SubjectWindow.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <net/Deployment.h>
#include <net/HttpClient.h>
#include <ui/BrowserView.h>
#include <ui/Fonts.h>
#include <ui/Platform.h>
#include <unistd.h>

namespace kestrova::app {
namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Opens one window directly, for screenshots; the windows past the login get a sample user.
ui::Window* openDirectly(WindowFlow& flow, const std::string& name)
{
    if (name == "login") {
        flow.start();
        return flow.loginWindow();
    }
    if (session().userName.empty())
        session().userName = GBK("驾考学员");
    if (name == "subject")
        return flow.showSubjectWindow();
    if (name == "exam" || name == "exam4") {
        flow.showSubjectWindow();
        flow.chooseSubject(name == "exam" ? GBK("科目一") : GBK("科目四"));
        return flow.examWindow();
    }
    for (const auto& [entryName, make] : flow.factories().catalogue) {
        if (entryName == name) {
            ui::Window* window = make();
            if (window && window->open())
                return window;
            return nullptr;
        }
    }
    return nullptr;
}

// The window's picture under a plain title strip with its caption (there is no window manager
// to draw one under Xvfb).
void saveScreenshot(QWidget* window, const std::string& file)
{
    constexpr int kTitle = 24;
    const QPixmap content = window->grab();
    QImage picture(content.width(), content.height() + kTitle, QImage::Format_RGB32);
    picture.fill(QColor(0x3A, 0x6E, 0xA5));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    painter.setFont(QApplication::font());
    painter.drawText(QRect(8, 0, content.width() - 16, kTitle), Qt::AlignVCenter | Qt::AlignLeft,
                     window->windowTitle());
    painter.drawPixmap(0, kTitle, content);
    painter.end();
    const bool saved = picture.save(QString::fromStdString(file), "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", file.c_str());
    std::fflush(nullptr);
    ::_exit(saved ? 0 : 1);
}

} // namespace

void pumpUiEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int runProgram(int argc, char** argv, ProgramParts parts)
{
    const net::Deployment& values = net::deployment();
    ui::prepareFontConfig();
    ui::prepareWebEngineEnvironment(values.gateway);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    // LoginWindow only hides after the login; the program ends by its own exit operations.
    application.setQuitOnLastWindowClosed(false);
    ui::installFontFallbacks();
    net::setEventPump(&pumpUiEvents);

    buildProgramObjects(session(), parts.objects);
    ui::registerExitCleanUp([] {
        cleanUpSession(session());
        releaseGuard();
    });
    for (const auto& setUp : parts.moduleSetUps) {
        if (setUp)
            setUp();
    }

    WindowFlow flow(std::move(parts.windows));
    setWindowFlow(&flow);

    const std::string direct = environment("KESTROVA_OPEN_WINDOW");
    if (!direct.empty()) {
        ui::Window* window = openDirectly(flow, direct);
        if (!window) {
            std::fprintf(stderr, "no window named %s\n", direct.c_str());
            return 2;
        }
        const std::string file = environment("KESTROVA_SCREENSHOT");
        if (!file.empty())
            QTimer::singleShot(1500, window, [window, file] { saveScreenshot(window, file); });
    } else if (!flow.start()) {
        return 0;
    }
    return application.exec();
}

} // namespace kestrova::app
