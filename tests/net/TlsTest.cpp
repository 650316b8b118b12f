// https addresses go through libcurl's TLS, verified against the deployment's CA bundle.
#include "RecordingServer.h"
#include "net/Deployment.h"
#include "net/HttpClient.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace kestrova::net;

namespace {

namespace fs = std::filesystem;

class TlsServer final
{
public:
    explicit TlsServer(const fs::path& dir)
    {
        const std::string cert = (dir / "cert.pem").string();
        const std::string key = (dir / "key.pem").string();
        const std::string makeCert =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=secure.kestrova.test "
            "-addext subjectAltName=DNS:secure.kestrova.test -keyout " +
            key + " -out " + cert + " >/dev/null 2>&1";
        if (std::system(makeCert.c_str()) != 0)
            return;
        {
            kestrova::test::RecordingServer probe; // borrows a free port number
            m_port = probe.port();
        }
        const std::string accept = "127.0.0.1:" + std::to_string(m_port);
        const char* argv[] = {"openssl", "s_server",   "-quiet", "-www",      "-accept", accept.c_str(),
                              "-cert",   cert.c_str(), "-key",   key.c_str(), nullptr};
        if (posix_spawnp(&m_pid, "openssl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = 0;
        m_cert = cert;
    }
    ~TlsServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool running() const { return m_pid > 0; }
    bool waitUntilListening() const
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(m_port);
            const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            ::close(fd);
            if (up)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    unsigned short port() const { return m_port; }
    const std::string& certificate() const { return m_cert; }

private:
    pid_t m_pid = 0;
    unsigned short m_port = 0;
    std::string m_cert;
};

TEST(Tls, HttpsAddressesAreFetchedOverVerifiedTls)
{
    const fs::path dir = fs::temp_directory_path() / ("kestrova-tls-" + std::to_string(getpid()));
    fs::create_directories(dir);
    {
        TlsServer server(dir);
        if (!server.running())
            GTEST_SKIP() << "openssl is not installed";
        ASSERT_TRUE(server.waitUntilListening());
        Deployment values = Deployment::defaults();
        values.gateway = "127.0.0.1:" + std::to_string(server.port());

        // Without the deployment's certificate the server is not trusted: nothing comes back.
        setDeployment(values);
        EXPECT_EQ(httpRequest("https://secure.kestrova.test/"), "")
            << "an untrusted certificate was accepted";

        values.caBundle = server.certificate();
        setDeployment(values);
        const std::string body = httpRequest("https://secure.kestrova.test/status");
        EXPECT_NE(body.find("s_server"), std::string::npos) << body;
        setDeployment(Deployment::defaults());
    }
    fs::remove_all(dir);
}

} // namespace
