// The single-instance guard, in process and against the real client started as a second process.
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <app/SingleInstance.h>
#include <arpa/inet.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <ui/Window.h>
#include <unistd.h>

namespace kestrova::app {
namespace {

std::string uniqueMarker(const char* what)
{
    return std::string("kestrova-test-") + what + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(QDateTime::currentMSecsSinceEpoch());
}

// A TCP listener on 127.0.0.1 that only notes whether anyone connected: the gateway a second
// copy would use for any request.
class Listener
{
public:
    Listener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(m_fd); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::string gateway() const { return "127.0.0.1:" + std::to_string(m_port); }
    bool someoneConnected() const
    {
        pollfd waiting{m_fd, POLLIN, 0};
        return ::poll(&waiting, 1, 0) > 0;
    }

private:
    int m_fd = -1;
    unsigned short m_port = 0;
};

// Runs the client with the given marker and gateway and keeps this process's events flowing
// (the first copy answers from here) until it ends; its exit code, or -1 when it did not end.
int runClient(const QString& program, const std::string& marker, const std::string& gateway,
              int timeoutMs = 30000)
{
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KESTROVA_INSTANCE_MARKER", QString::fromStdString(marker));
    environment.insert("KESTROVA_GATEWAY", QString::fromStdString(gateway));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    client.start(program, {});
    if (!client.waitForStarted(10000))
        return -1;
    QElapsedTimer timer;
    timer.start();
    while (client.state() != QProcess::NotRunning && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        client.waitForFinished(10);
    }
    if (client.state() != QProcess::NotRunning) {
        client.kill();
        client.waitForFinished();
        return -1;
    }
    return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
}

TEST(SingleInstanceTest, OnlyOneGuardHoldsAMarkerAndItGoesWithItsHolder)
{
    const std::string marker = uniqueMarker("hold");
    auto first = std::make_unique<InstanceGuard>(marker, "kestrova");
    ASSERT_TRUE(first->acquire());
    InstanceGuard second(marker, "kestrova");
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(InstanceGuard(uniqueMarker("other"), "kestrova").acquire()); // another marker is free
    first.reset();
    EXPECT_TRUE(second.acquire());
}

// The first copy here, a real client as the second copy.
class SecondCopyTest : public ::testing::Test
{
protected:
    const std::string marker = uniqueMarker("second");
    InstanceGuard guard{marker, "kestrova"};
    ui::Window window{"LoginWindow", "first copy", 50, 50, 428, 370};
    int raises = 0;

    void SetUp() override
    {
        ASSERT_TRUE(guard.acquire());
        auto raiseDefault = guard.raiseWindow;
        guard.raiseWindow = [this, raiseDefault] {
            ++raises;
            return raiseDefault();
        };
        ASSERT_TRUE(window.open());
        window.showMinimized();
        ASSERT_TRUE(window.isMinimized());
    }
};

TEST_F(SecondCopyTest, ASecondCopyRaisesTheFirstAndEndsBeforeAnyRequest)
{
    Listener gateway;
    EXPECT_EQ(runClient(QStringLiteral(KESTROVA_CLIENT_PATH), marker, gateway.gateway()), 0);
    EXPECT_EQ(raises, 1);
    EXPECT_FALSE(window.isMinimized()); // restored
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(gateway.someoneConnected());
}

TEST_F(SecondCopyTest, ACopyUnderAnotherNameFindsNoWindowButStillEnds)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("kestrova-copy-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path copy = folder / "renamed-client";
    fs::copy_file(KESTROVA_CLIENT_PATH, copy, fs::copy_options::overwrite_existing);
    Listener gateway;
    const int code = runClient(QString::fromStdString(copy.string()), marker, gateway.gateway());
    fs::remove_all(folder);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(raises, 0);
    EXPECT_TRUE(window.isMinimized());
    EXPECT_FALSE(gateway.someoneConnected());
}

TEST(SingleInstanceTest, TheMarkerVanishesWhenItsHolderIsKilled)
{
    const std::string marker = uniqueMarker("killed");
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KESTROVA_INSTANCE_MARKER", QString::fromStdString(marker));
    environment.insert("KESTROVA_GATEWAY", "127.0.0.1:9"); // nobody there: the look-up fails at once
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    client.setProcessEnvironment(environment);
    client.start(QStringLiteral(KESTROVA_CLIENT_PATH), {});
    ASSERT_TRUE(client.waitForStarted(10000));
    // Wait until the client holds the marker: it then answers.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return InstanceGuard::askRunningCopy(marker, "not-the-client", 500) != RaiseReply::NoAnswer; },
        20000));
    InstanceGuard late(marker, "kestrova");
    EXPECT_FALSE(late.acquire());

    ::kill(static_cast<pid_t>(client.processId()), SIGKILL);
    ASSERT_TRUE(client.waitForFinished(10000));
    EXPECT_TRUE(late.acquire());
}

} // namespace
} // namespace kestrova::app
