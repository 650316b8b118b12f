#include "StackFixture.h"

#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <net/Deployment.h>
#include <net/HttpClient.h>
#include <net/TextOps.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrova::test {

using namespace kestrova::services;

TempDir::TempDir()
{
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() / ("kestrova-stack-test-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

AccountOptions quickAccounts()
{
    AccountOptions options;
    options.cost = HashCost::minimal();
    options.refusalDelay = std::chrono::milliseconds(1);
    options.freeFailures = 3;
    options.firstLock = std::chrono::minutes(1);
    return options;
}

RouterOptions TestStack::defaultOptions()
{
    RouterOptions options;
    options.account = quickAccounts();
    options.withSpeech = false;
    options.withMedia = false;
    return options;
}

TestStack::TestStack(RouterOptions options)
{
    std::string error;
    m_store = openSqliteStore((m_dir.path() / "stack.sqlite").string(), error);
    if (!m_store)
        throw std::runtime_error(error);
    m_router = std::make_unique<Router>(*m_store, options);
    ServerOptions serverOptions;
    serverOptions.ports = {0, 0};
    serverOptions.threads = 2;
    serverOptions.isSlow = isSlowRequest;
    serverOptions.shutdownGrace = std::chrono::seconds(5);
    m_server =
        std::make_unique<Server>([this](const Request& r) { return m_router->handle(r); }, serverOptions);
    error = m_server->start();
    if (!error.empty())
        throw std::runtime_error(error);
    m_port = m_server->ports()[0];
    m_musicPort = m_server->ports()[1];
    m_router->setMusicPort(m_musicPort);

    net::Deployment values = net::Deployment::defaults();
    values.gateway = "127.0.0.1:" + std::to_string(m_port);
    net::setDeployment(values);
    net::clearCookies();
}

TestStack::~TestStack()
{
    m_server->stop();
}

std::string rawExchange(unsigned short port, const std::string& bytes)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return {};
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            response.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return response;
}

int statusOf(const std::string& rawResponse)
{
    if (!rawResponse.starts_with("HTTP/1.") || rawResponse.size() < 12)
        return 0;
    return std::stoi(rawResponse.substr(9, 3));
}

std::string gbk(const std::string& utf8Text)
{
    return net::toGbk(utf8Text);
}

std::string utf8(const std::string& gbkText)
{
    return net::fromGbk(gbkText);
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace kestrova::test
