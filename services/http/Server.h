// The HTTP/1.1 transport of the stack: Boost.Beast with an asynchronous accept/read/write loop on a
// few threads. It only turns bytes into a Request and a Response back into bytes; what a request
// means is the handler's business.
#pragma once

#include "Http.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::services {

using Handler = std::function<Response(const Request&)>;
using LogSink = std::function<void(const std::string& line)>;

struct ServerOptions
{
    std::string address = "127.0.0.1";
    std::vector<unsigned short> ports; // 0 = any free port
    int threads = 2;
    // Requests for which isSlow answers true (password hashing) are handled on slowThreads
    // threads of their own instead of the network threads.
    std::function<bool(const Request&)> isSlow;
    int slowThreads = 2;
    std::size_t maxBodyBytes = 64 * 1024;   // larger bodies: 413
    std::size_t maxTargetBytes = 4 * 1024;  // longer request targets: 414
    std::size_t maxHeaderBytes = 16 * 1024; // larger header blocks: 431
    std::chrono::seconds idleTimeout{30};   // keep-alive connections idle this long are closed
    std::chrono::seconds shutdownGrace{10}; // requests still running at stop get this long
    LogSink log;                            // one line per request; none when empty
};

class Server
{
public:
    Server(Handler handler, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds every port and starts the threads. Returns an error text, empty on success.
    std::string start();
    // The ports actually bound, in the order of ServerOptions::ports.
    std::vector<unsigned short> ports() const;
    // Stops accepting, lets requests in flight finish (up to the grace time), closes idle
    // connections and joins the threads. Safe to call more than once.
    void stop();

    struct Impl; // the transport's insides, defined in Server.cpp only

private:
    std::unique_ptr<Impl> m_impl;
};

// Catches SIGINT and SIGTERM from its construction on (so a signal that comes early is not
// lost and does not kill the process) until wait() has seen one.
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Blocks until SIGINT or SIGTERM has arrived (at once if one came already).
    void wait();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kestrova::services
