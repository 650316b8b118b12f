#include "RecordingServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrova::test {
namespace {

constexpr std::string_view kSlowPrefix = "\x01slow:";

bool sendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

bool RawRequest::hasHeaderNamed(const std::string& name) const
{
    return lower(head).find("\r\n" + lower(name) + ":") != std::string::npos;
}

RecordingServer::RecordingServer(Responder responder) : m_responder(std::move(responder))
{
    if (!m_responder)
        m_responder = [](const RawRequest&) { return answer("ok"); };
    m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_listenFd, 16);
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

RecordingServer::~RecordingServer()
{
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);
    ::close(m_listenFd);
    m_acceptThread.join();
    for (std::thread& connection : m_connections)
        connection.join();
}

std::vector<RawRequest> RecordingServer::requests() const
{
    std::scoped_lock lock(m_mutex);
    return m_requests;
}

std::string RecordingServer::answer(const std::string& body, const std::string& headerLines)
{
    return "HTTP/1.1 200 OK\r\n" + headerLines + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string RecordingServer::slowMarker(int seconds)
{
    return std::string(kSlowPrefix) + std::to_string(seconds);
}

void RecordingServer::acceptLoop()
{
    while (!m_stopping) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int fd = ::accept(m_listenFd, nullptr, nullptr);
        if (fd < 0)
            continue;
        std::scoped_lock lock(m_mutex);
        m_connections.emplace_back([this, fd] { serve(fd); });
    }
}

void RecordingServer::serve(int fd)
{
    std::string data;
    char buffer[4096];
    size_t headEnd = std::string::npos;
    size_t bodyLength = 0;
    while (!m_stopping) {
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + bodyLength)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        data.append(buffer, static_cast<size_t>(got));
        if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
            const std::string head = lower(data.substr(0, headEnd + 2));
            const size_t at = head.find("\r\ncontent-length:");
            if (at != std::string::npos)
                bodyLength = std::stoul(head.substr(at + 17));
        }
    }
    if (headEnd == std::string::npos) {
        ::close(fd);
        return;
    }
    RawRequest request{data.substr(0, headEnd + 4), data.substr(headEnd + 4, bodyLength)};
    {
        std::scoped_lock lock(m_mutex);
        m_requests.push_back(request);
    }
    const std::string response = m_responder(request);
    if (response.starts_with(kSlowPrefix)) {
        const int seconds = std::stoi(response.substr(kSlowPrefix.size()));
        sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!m_stopping && std::chrono::steady_clock::now() < until) {
            if (!sendAll(fd, "x")) {
                m_clientHungUp = true;
                break;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) == 0) {
                m_clientHungUp = true;
                break;
            }
        }
    } else {
        sendAll(fd, response);
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

} // namespace kestrova::test
