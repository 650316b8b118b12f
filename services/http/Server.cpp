#include "Server.h"

#include "Pages.h"

#include <array>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <csignal>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace kestrova::services {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// Request targets go into the log as printable ASCII: control and non-ASCII bytes as %XX, so a
// crafted target cannot forge log lines.
std::string printable(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string utcTimestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(millis));
    return text;
}

// Host header without its port, lower case.
std::string hostName(std::string_view hostHeader)
{
    const std::size_t colon = hostHeader.rfind(':');
    if (colon != std::string_view::npos && hostHeader.find(']', colon) == std::string_view::npos)
        hostHeader = hostHeader.substr(0, colon);
    return toLowerAscii(hostHeader);
}

} // namespace

class Session;

std::vector<std::unique_ptr<asio::io_context>> makeContexts(int count)
{
    std::vector<std::unique_ptr<asio::io_context>> contexts;
    for (int i = 0; i < count; ++i)
        contexts.push_back(std::make_unique<asio::io_context>(1));
    return contexts;
}

struct Server::Impl
{
    Handler handler;
    ServerOptions options;
    std::atomic<bool> stopping{false};
    // Declared before the io_context: sessions still queued in it when it is destroyed unregister
    // themselves here.
    std::mutex sessionsMutex;
    std::unordered_map<Session*, std::weak_ptr<Session>> sessions;
    mutable std::mutex lifecycleMutex;
    bool started = false;
    bool stopped = false;
    asio::thread_pool slowPool;
    // One io_context per network thread, each run by that thread alone: a connection lives on
    // one of them, so its handlers never race and need no strand or lock.
    std::vector<std::unique_ptr<asio::io_context>> contexts;
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> work;
    std::atomic<std::size_t> nextContext{0};
    std::vector<std::unique_ptr<tcp::acceptor>> acceptors;
    std::vector<unsigned short> bound;
    std::vector<std::thread> threads;

    Impl(Handler h, ServerOptions o)
        : handler(std::move(h)), options(std::move(o)),
          slowPool(static_cast<std::size_t>(std::max(1, options.slowThreads))),
          contexts(makeContexts(std::max(1, options.threads)))
    {}

    void accept(tcp::acceptor& acceptor, unsigned short port);
    void closeIdleSessions();
    std::size_t sessionCount()
    {
        std::scoped_lock lock(sessionsMutex);
        return sessions.size();
    }
};

class Session : public std::enable_shared_from_this<Session>
{
public:
    Session(tcp::socket&& socket, Server::Impl& server, unsigned short port)
        : m_stream(std::move(socket)), m_server(server), m_port(port)
    {
        beast::error_code ec;
        const auto remote = m_stream.socket().remote_endpoint(ec);
        if (!ec)
            m_peer = remote.address().to_string();
    }

    ~Session()
    {
        std::scoped_lock lock(m_server.sessionsMutex);
        m_server.sessions.erase(this);
    }

    void start()
    {
        {
            std::scoped_lock lock(m_server.sessionsMutex);
            m_server.sessions.emplace(this, weak_from_this());
        }
        asio::dispatch(m_stream.get_executor(), [self = shared_from_this()] { self->readNext(); });
    }

    // Called at shutdown: a connection waiting for its next request is closed now; one whose
    // request is being read or answered closes after the answer.
    void closeIfIdle()
    {
        asio::post(m_stream.get_executor(), [self = shared_from_this()] {
            const bool midRequest =
                self->m_busy || (self->m_parser && self->m_parser->got_some()) || self->m_buffer.size() > 0;
            if (!midRequest)
                self->close();
        });
    }

private:
    void readNext()
    {
        m_parser.emplace();
        m_parser->header_limit(static_cast<std::uint32_t>(m_server.options.maxHeaderBytes));
        m_parser->body_limit(m_server.options.maxBodyBytes);
        m_stream.expires_after(m_server.options.idleTimeout);
        http::async_read_header(m_stream, m_buffer, *m_parser,
                                beast::bind_front_handler(&Session::onHeader, shared_from_this()));
    }

    // A client that asks "Expect: 100-continue" waits for the go-ahead before sending its body.
    void onHeader(beast::error_code ec, std::size_t bytes)
    {
        if (ec || m_parser->is_done())
            return onRead(ec, bytes);
        const auto readBody = [self = shared_from_this()] {
            http::async_read(self->m_stream, self->m_buffer, *self->m_parser,
                             beast::bind_front_handler(&Session::onRead, self));
        };
        if (!beast::iequals(m_parser->get()[http::field::expect], "100-continue"))
            return readBody();
        static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        asio::async_write(m_stream, asio::buffer(kContinue.data(), kContinue.size()),
                          [self = shared_from_this(), readBody](beast::error_code error, std::size_t) {
                              if (error)
                                  return self->close();
                              readBody();
                          });
    }

    void onRead(beast::error_code ec, std::size_t)
    {
        m_started = std::chrono::steady_clock::now();
        if (ec == http::error::body_limit)
            return answerAndClose(errorPage(413, "请求内容超过了允许的长度。"), "-");
        if (ec == http::error::header_limit)
            return answerAndClose(errorPage(431, "请求头超过了允许的长度。"), "-");
        if (ec) {
            // A broken request earns an answer; a connection that simply ended or idled out does not.
            const bool gotSome = m_parser && m_parser->got_some();
            if (gotSome && ec != beast::error::timeout && ec != asio::error::operation_aborted &&
                ec != asio::error::connection_reset && ec != http::error::partial_message)
                return answerAndClose(errorPage(400, "无法解析的 HTTP 请求。"), "-");
            return close();
        }
        m_busy = true;

        auto& message = m_parser->get();
        Request request;
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        const std::size_t question = request.target.find('?');
        request.path = request.target.substr(0, question);
        request.query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
        request.host = hostName(message[http::field::host]);
        request.port = m_port;
        for (const auto& field : message)
            request.headers.push_back({std::string(field.name_string()), std::string(field.value())});
        request.body = std::move(message.body());
        request.peer = m_peer;

        const bool head = message.method() == http::verb::head;
        const bool keepAlive = message.keep_alive();
        const unsigned version = message.version();
        if (head)
            request.method = "GET";
        if (request.target.size() > m_server.options.maxTargetBytes)
            return send(errorPage(414, "请求地址超过了允许的长度。"), version, keepAlive, head, request.host,
                        request.method + " " + request.target);
        if (m_server.options.isSlow && m_server.options.isSlow(request)) {
            // Slow work (password hashing) runs on its own threads so that it never holds up
            // the quick requests waiting on the network threads.
            auto shared = std::make_shared<Request>(std::move(request));
            asio::post(m_server.slowPool, [self = shared_from_this(), shared, version, keepAlive, head] {
                Response response = self->runHandler(*shared);
                asio::post(self->m_stream.get_executor(), [self, shared, response = std::move(response),
                                                           version, keepAlive, head]() mutable {
                    self->send(std::move(response), version, keepAlive, head, shared->host,
                               shared->method + " " + shared->target);
                });
            });
            return;
        }
        Response response = runHandler(request);
        send(std::move(response), version, keepAlive, head, request.host,
             request.method + " " + request.target);
    }

    Response runHandler(const Request& request)
    {
        try {
            return m_server.handler(request);
        } catch (const std::exception& error) {
            if (m_server.options.log)
                m_server.options.log(utcTimestamp() + " handler failed: " + error.what());
            return errorPage(500, "处理请求时出错，请稍后再试。");
        }
    }

    // For requests refused before their body was read: after the answer the rest of the body is
    // read and dropped for a moment, so closing does not reset the connection and lose the answer.
    void answerAndClose(Response response, std::string what)
    {
        m_busy = true;
        m_linger = true;
        send(std::move(response), 11, false, false, "-", std::move(what));
    }

    void drainThenClose()
    {
        m_stream.async_read_some(asio::buffer(m_drain),
                                 [self = shared_from_this()](beast::error_code error, std::size_t) {
                                     if (error)
                                         return self->m_stream.close();
                                     self->drainThenClose();
                                 });
    }

    void send(Response response, unsigned version, bool keepAlive, bool head, std::string host,
              std::string what)
    {
        auto message = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(response.status), version);
        message->set(http::field::server, "kestrova-services");
        message->set(http::field::content_type, response.contentType);
        for (const auto& header : response.headers)
            message->insert(header.name, header.value);
        message->body() = std::move(response.body);
        message->keep_alive(keepAlive && !m_server.stopping);
        message->prepare_payload();
        if (head)
            message->body().clear(); // Content-Length stays that of the full answer

        auto write = [self = shared_from_this(), message, host = std::move(host), what = std::move(what)] {
            // A client that stops reading does not hold the connection for ever.
            self->m_stream.expires_after(self->m_server.options.idleTimeout);
            http::async_write(self->m_stream, *message,
                              [self, message, host, what](beast::error_code ec, std::size_t bytes) {
                                  self->onWrite(ec, bytes, message->result_int(), message->keep_alive(), host,
                                                what);
                              });
        };
        if (response.delay.count() > 0) {
            auto timer = std::make_shared<asio::steady_timer>(m_stream.get_executor(), response.delay);
            timer->async_wait([timer, write](beast::error_code) { write(); });
        } else {
            write();
        }
    }

    void onWrite(beast::error_code ec, std::size_t bytes, unsigned status, bool keepAlive,
                 const std::string& host, const std::string& what)
    {
        if (m_server.options.log) {
            const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now() - m_started)
                                    .count();
            char timing[32];
            std::snprintf(timing, sizeof timing, "%.1fms", static_cast<double>(micros) / 1000.0);
            m_server.options.log(utcTimestamp() + " " + (m_peer.empty() ? "-" : m_peer) + " " +
                                 printable(host) + ":" + std::to_string(m_port) + " \"" + printable(what) +
                                 "\" " + std::to_string(status) + " " + std::to_string(bytes) + " " + timing);
        }
        m_busy = false;
        if (ec || !keepAlive || m_server.stopping)
            return close();
        readNext();
    }

    void close()
    {
        if (m_linger && !m_server.stopping) {
            m_linger = false;
            beast::error_code ec;
            m_stream.socket().shutdown(tcp::socket::shutdown_send, ec);
            m_stream.expires_after(std::chrono::seconds(2));
            return drainThenClose();
        }
        beast::error_code ec;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ec);
        m_stream.close();
    }

    beast::tcp_stream m_stream;
    Server::Impl& m_server;
    unsigned short m_port;
    std::string m_peer;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    bool m_busy = false;
    bool m_linger = false;
    std::array<char, 4096> m_drain{};
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
};

void Server::Impl::accept(tcp::acceptor& acceptor, unsigned short port)
{
    auto& context = *contexts[nextContext++ % contexts.size()];
    acceptor.async_accept(context.get_executor(), [this, &acceptor, port](beast::error_code ec,
                                                                          tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor.is_open())
            return;
        if (ec) {
            // Out of descriptors or the like: wait a little instead of spinning.
            auto pause =
                std::make_shared<asio::steady_timer>(acceptor.get_executor(), std::chrono::milliseconds(50));
            pause->async_wait([this, &acceptor, port, pause](beast::error_code) {
                if (acceptor.is_open())
                    accept(acceptor, port);
            });
            return;
        }
        if (!stopping)
            std::make_shared<Session>(std::move(socket), *this, port)->start();
        accept(acceptor, port);
    });
}

void Server::Impl::closeIdleSessions()
{
    std::vector<std::shared_ptr<Session>> live;
    {
        std::scoped_lock lock(sessionsMutex);
        for (auto& [raw, weak] : sessions)
            if (auto session = weak.lock())
                live.push_back(std::move(session));
    }
    for (auto& session : live)
        session->closeIfIdle();
}

Server::Server(Handler handler, ServerOptions options)
    : m_impl(std::make_unique<Impl>(std::move(handler), std::move(options)))
{}

Server::~Server()
{
    stop();
}

std::string Server::start()
{
    std::scoped_lock lock(m_impl->lifecycleMutex);
    if (m_impl->started)
        return "the server is already running";
    beast::error_code ec;
    const auto address = asio::ip::make_address(m_impl->options.address, ec);
    if (ec)
        return "invalid listen address " + m_impl->options.address;
    if (m_impl->options.ports.empty())
        return "no port to listen on";
    for (unsigned short port : m_impl->options.ports) {
        auto acceptor = std::make_unique<tcp::acceptor>(*m_impl->contexts.front());
        const tcp::endpoint endpoint(address, port);
        acceptor->open(endpoint.protocol(), ec);
        if (!ec)
            acceptor->set_option(asio::socket_base::reuse_address(true), ec);
        if (!ec)
            acceptor->bind(endpoint, ec);
        if (!ec)
            acceptor->listen(asio::socket_base::max_listen_connections, ec);
        if (ec)
            return "cannot listen on " + m_impl->options.address + ":" + std::to_string(port) + ": " +
                   ec.message();
        m_impl->bound.push_back(acceptor->local_endpoint().port());
        m_impl->acceptors.push_back(std::move(acceptor));
    }
    for (std::size_t i = 0; i < m_impl->acceptors.size(); ++i)
        m_impl->accept(*m_impl->acceptors[i], m_impl->bound[i]);
    for (auto& context : m_impl->contexts)
        m_impl->work.push_back(asio::make_work_guard(*context));
    for (int i = 0; i < std::max(1, m_impl->options.threads); ++i)
        m_impl->threads.emplace_back(
            [context = m_impl->contexts[static_cast<std::size_t>(i)].get()] { context->run(); });
    m_impl->started = true;
    return {};
}

std::vector<unsigned short> Server::ports() const
{
    std::scoped_lock lock(m_impl->lifecycleMutex);
    return m_impl->bound;
}

void Server::stop()
{
    std::scoped_lock lock(m_impl->lifecycleMutex);
    if (!m_impl->started || m_impl->stopped)
        return;
    m_impl->stopped = true;
    m_impl->stopping = true;
    for (auto& acceptor : m_impl->acceptors)
        asio::post(acceptor->get_executor(), [a = acceptor.get()] {
            beast::error_code ec;
            a->close(ec);
        });
    m_impl->work.clear();
    // Requests in flight finish and their connections close after the answer; idle keep-alive
    // connections are closed at once. Whatever still runs after the grace time is cut off.
    const auto deadline = std::chrono::steady_clock::now() + m_impl->options.shutdownGrace;
    m_impl->closeIdleSessions();
    while (m_impl->sessionCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        m_impl->closeIdleSessions();
    }
    for (auto& context : m_impl->contexts)
        context->stop();
    m_impl->slowPool.join();
    for (auto& thread : m_impl->threads)
        thread.join();
    m_impl->threads.clear();
}

struct StopSignals::Impl
{
    asio::io_context context;
    asio::signal_set set{context, SIGINT, SIGTERM};
};

StopSignals::StopSignals() : m_impl(std::make_unique<Impl>()) {}

StopSignals::~StopSignals() = default;

void StopSignals::wait()
{
    m_impl->set.async_wait([](beast::error_code, int) {});
    m_impl->context.run();
}

} // namespace kestrova::services
