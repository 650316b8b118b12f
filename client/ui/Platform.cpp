#include "Platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QThread>
#include <QUrl>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

namespace kestrova::ui {
namespace {

std::mutex g_cleanUpMutex;
std::function<void()> g_cleanUp;

// Plays one sound from a temporary file and removes itself when the sound has ended.
void playWavFile(const std::string& bytes)
{
    auto* file = new QTemporaryFile(QDir::tempPath() + QStringLiteral("/kestrova-XXXXXX.wav"), qApp);
    if (!file->open() ||
        file->write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        delete file;
        return;
    }
    file->flush();
    auto* effect = new QSoundEffect(qApp);
    QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect, file] {
        if (!effect->isPlaying() && effect->status() != QSoundEffect::Loading) {
            effect->deleteLater();
            file->deleteLater();
        }
    });
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect, file] {
        if (effect->status() == QSoundEffect::Error) {
            effect->deleteLater();
            file->deleteLater();
        } else if (effect->status() == QSoundEffect::Ready) {
            effect->play();
        }
    });
    effect->setSource(QUrl::fromLocalFile(file->fileName()));
}

class DesktopPlatform final : public Platform
{
public:
    int messageBox(const Text& text, int flags, const Text& caption) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(toQt(caption));
        box.setText(toQt(text));
        box.setIcon((flags & 0x70) == kIconExclamation ? QMessageBox::Warning : QMessageBox::Information);
        if (flags & kYesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return kAnswerOk;
    }

    void setClipboardText(const Text& text) override { QGuiApplication::clipboard()->setText(toQt(text)); }
    Text clipboardText() override { return fromQt(QGuiApplication::clipboard()->text()); }
    void openUrl(const Text& url) override { QDesktopServices::openUrl(QUrl(toQt(url))); }
    void playWav(const std::string& bytes) override { playWavFile(bytes); }

    LocalTime now() override
    {
        const QDateTime t = QDateTime::currentDateTime();
        return {t.date().year(), t.date().month(),  t.date().day(),
                t.time().hour(), t.time().minute(), t.time().second()};
    }

    void seedRandom(std::uint32_t seed) override { m_engine.seed(seed); }

    int randomInt(int low, int high) override
    {
        if (high < low)
            std::swap(low, high);
        return std::uniform_int_distribution<int>(low, high)(m_engine);
    }

    void exitProgram(int code) override
    {
        runExitCleanUp();
        std::fflush(nullptr);
        ::_exit(code);
    }

    // Ends this process by its own id, never a process that merely shares the executable's name.
    void terminateOwnProcess() override
    {
        std::fflush(nullptr);
        ::_exit(0);
    }

private:
    std::mt19937 m_engine{std::random_device{}()};
};

DesktopPlatform& desktop()
{
    static DesktopPlatform instance;
    return instance;
}

Platform* g_platform = nullptr;

} // namespace

Platform& platform()
{
    return g_platform ? *g_platform : desktop();
}

Platform* setPlatform(Platform* p)
{
    Platform* previous = g_platform;
    g_platform = p;
    return previous;
}

void randomize()
{
    const LocalTime t = platform().now();
    const auto ms = static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch());
    platform().seedRandom(ms ^ static_cast<std::uint32_t>(t.second * 1000003 + t.minute * 7919));
}

void registerExitCleanUp(std::function<void()> cleanUp)
{
    std::scoped_lock lock(g_cleanUpMutex);
    g_cleanUp = std::move(cleanUp);
}

void runExitCleanUp()
{
    std::function<void()> cleanUp;
    {
        std::scoped_lock lock(g_cleanUpMutex);
        cleanUp = std::exchange(g_cleanUp, nullptr); // at most once
    }
    if (cleanUp)
        cleanUp();
}

void processEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void waitProcessing(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        processEvents();
        const qint64 left = ms - timer.elapsed();
        if (left > 0)
            QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 5)));
    }
}

void sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void startThread(std::function<void()> routine)
{
    std::thread(std::move(routine)).detach();
}

void runOnUiThread(std::function<void()> work)
{
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

std::string ownExecutableFileName()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    // A binary replaced on disk while running reads as "name (deleted)"; it is still that name.
    std::string name = path.filename().string();
    constexpr std::string_view kDeleted = " (deleted)";
    if (name.size() > kDeleted.size() && name.ends_with(kDeleted))
        name.resize(name.size() - kDeleted.size());
    return name;
}

} // namespace kestrova::ui
