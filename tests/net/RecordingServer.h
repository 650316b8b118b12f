// A small HTTP server on 127.0.0.1 for tests: it records every raw request it receives and
// answers each with what the test's responder returns.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::test {

struct RawRequest
{
    std::string head; // request line and header lines, through the blank line
    std::string body;
    std::string requestLine() const { return head.substr(0, head.find("\r\n")); }
    bool hasHeaderLine(const std::string& line) const
    {
        return head.find("\r\n" + line + "\r\n") != std::string::npos;
    }
    bool hasHeaderNamed(const std::string& name) const;
};

class RecordingServer final
{
public:
    // Returns the raw response bytes to send; the connection is closed after it.
    using Responder = std::function<std::string(const RawRequest&)>;

    explicit RecordingServer(Responder responder = {});
    ~RecordingServer();
    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    unsigned short port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    std::vector<RawRequest> requests() const;
    // Set when a responder's slow answer noticed that the client went away.
    bool clientHungUp() const { return m_clientHungUp; }

    // A plain 200 answer with the given extra header lines (each ending in CR LF) and body.
    static std::string answer(const std::string& body, const std::string& headerLines = {});
    // Sends the head at once, then the body byte by byte over `seconds`, as a slow server does.
    static std::string slowMarker(int seconds);

private:
    void acceptLoop();
    void serve(int fd);

    Responder m_responder;
    int m_listenFd = -1;
    unsigned short m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_clientHungUp{false};
    mutable std::mutex m_mutex;
    std::vector<RawRequest> m_requests;
    std::vector<std::thread> m_connections;
    std::thread m_acceptThread;
};

} // namespace kestrova::test
