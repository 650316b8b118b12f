// The real kestrova-services program: "serve" answers on the port it reports, stops cleanly on
// SIGTERM, and a kill -9 loses nothing that was answered as stored.
#include "StackFixture.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrova::test {
namespace {

using namespace kestrova::services;

// A running "kestrova-services serve" with its standard error read through a pipe.
class ServeProcess
{
public:
    explicit ServeProcess(const std::string& db)
    {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        std::vector<std::string> args = {KESTROVA_SERVICES_BIN, "serve", "--db",       db, "--port", "0",
                                         "--music-port",        "0",     "--no-speech"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, KESTROVA_SERVICES_BIN, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        m_stderr = pipeFds[0];
        // The program names its port once it listens.
        const std::string marker = "serving on 127.0.0.1:";
        while (m_pid > 0 && m_port == 0 && readSome(5000)) {
            const std::size_t at = m_output.find(marker);
            if (at != std::string::npos && m_output.find(' ', at + marker.size()) != std::string::npos)
                m_port = static_cast<unsigned short>(std::stoi(m_output.substr(at + marker.size())));
        }
    }

    ~ServeProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_stderr >= 0)
            ::close(m_stderr);
    }

    unsigned short port() const { return m_port; }

    // Sends the signal and waits for the exit; the exit status, or -1.
    int signalAndWait(int signal)
    {
        ::kill(m_pid, signal);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        while (readSome(1000)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& output() const { return m_output; }

private:
    bool readSome(int timeoutMs)
    {
        pollfd p{m_stderr, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        char buffer[1024];
        const ssize_t n = ::read(m_stderr, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_output.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_stderr = -1;
    unsigned short m_port = 0;
    std::string m_output;
};

std::string chatPost(const std::string& message)
{
    const std::string body = "id=" + message + "&us=proc[1-1-1:1:1]\r\n";
    return "POST /ke1/lt/asp.asp HTTP/1.1\r\nHost: www.kestrova-community.com\r\nConnection: "
           "close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(ServeProcess, AnswersLogsAndStopsCleanlyOnSigterm)
{
    TempDir dir;
    ServeProcess serve((dir.path() / "s.sqlite").string());
    ASSERT_NE(serve.port(), 0) << serve.output();
    EXPECT_EQ(
        statusOf(rawExchange(
            serve.port(), "GET /8016 HTTP/1.1\r\nHost: profile.kestrova.test\r\nConnection: close\r\n\r\n")),
        200);
    EXPECT_EQ(serve.signalAndWait(SIGTERM), 0);
    EXPECT_NE(serve.output().find("profile.kestrova.test"), std::string::npos) << serve.output();
    EXPECT_NE(serve.output().find("stopped"), std::string::npos) << serve.output();
}

TEST(ServeProcess, KillNineLosesNoStoredLine)
{
    TempDir dir;
    const std::string db = (dir.path() / "s.sqlite").string();
    {
        ServeProcess serve(db);
        ASSERT_NE(serve.port(), 0) << serve.output();
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(statusOf(rawExchange(serve.port(), chatPost("line" + std::to_string(i)))), 200);
        serve.signalAndWait(SIGKILL);
    }
    std::string error;
    auto store = openSqliteStore(db, error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(store->recentChatLines(1, 0, 100).size(), 20u);
}

} // namespace
} // namespace kestrova::test
