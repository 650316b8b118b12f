#include "SingleInstance.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <net/Deployment.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <ui/Platform.h>
#include <ui/Window.h>
#include <unistd.h>

namespace kestrova::app {
namespace {

const char kRaised[] = "raised\n";
const char kNoWindow[] = "none\n";
constexpr std::size_t kMaxRequest = 512;

socklen_t fillAddress(const std::string& name, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
}

// Reads up to a newline (or limit bytes) from fd within timeoutMs.
std::string readLine(int fd, int timeoutMs)
{
    std::string line;
    char buffer[128];
    while (line.size() < kMaxRequest && line.find('\n') == std::string::npos) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, timeoutMs) <= 0)
            break;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    if (const auto end = line.find('\n'); end != std::string::npos)
        line.resize(end);
    return line;
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::unique_ptr<InstanceGuard> g_guard;

} // namespace

void InstanceGuard::FdCloser::operator()(int* fd) const
{
    if (*fd >= 0)
        ::close(*fd);
    delete fd;
}

InstanceGuard::InstanceGuard(std::string marker, std::string ownFileName)
    : m_marker(std::move(marker)), m_ownFileName(std::move(ownFileName))
{
    raiseWindow = [] {
        const auto windows = ui::visibleWindows();
        if (windows.empty())
            return false;
        ui::bringToFront(windows.front());
        return true;
    };
}

InstanceGuard::~InstanceGuard() = default;

std::string InstanceGuard::socketName(const std::string& marker)
{
    return std::string(1, '\0') + "kestrova." + std::to_string(::getuid()) + "." + marker;
}

bool InstanceGuard::acquire()
{
    if (m_listener)
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true; // no marker to be had: run rather than refuse to start
    Fd socket(new int(fd));
    sockaddr_un address;
    const socklen_t length = fillAddress(socketName(m_marker), address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0)
        return errno != EADDRINUSE;
    if (::listen(fd, 8) != 0)
        return true;
    m_listener = std::move(socket);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InstanceGuard::answerRequests);
    return true;
}

void InstanceGuard::answerRequests()
{
    for (;;) {
        const int accepted = ::accept4(*m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted < 0)
            return;
        Fd connection(new int(accepted));
        const std::string requester = readLine(accepted, 500);
        // Only a copy of this very executable (by file name) finds this copy's window.
        const bool raised = !requester.empty() && requester == m_ownFileName && raiseWindow && raiseWindow();
        writeAll(accepted, raised ? kRaised : kNoWindow);
    }
}

RaiseReply InstanceGuard::askRunningCopy(const std::string& marker, const std::string& fileName,
                                         int timeoutMs)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return RaiseReply::NoAnswer;
    Fd socket(new int(fd));
    sockaddr_un address;
    const socklen_t length = fillAddress(socketName(marker), address);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0)
        return RaiseReply::NoAnswer;
    if (!writeAll(fd, fileName + "\n"))
        return RaiseReply::NoAnswer;
    const std::string reply = readLine(fd, timeoutMs);
    if (reply + "\n" == kRaised)
        return RaiseReply::Raised;
    return reply + "\n" == kNoWindow ? RaiseReply::NoWindow : RaiseReply::NoAnswer;
}

bool guardSingleInstance()
{
    if (g_guard && g_guard->holdsMarker())
        return true;
    const std::string& marker = net::deployment().instanceMarker;
    auto guard = std::make_unique<InstanceGuard>(marker, ui::ownExecutableFileName());
    if (guard->acquire()) {
        g_guard = std::move(guard);
        return true;
    }
    InstanceGuard::askRunningCopy(marker, ui::ownExecutableFileName());
    ui::platform().exitProgram(0);
    return false;
}

InstanceGuard* runningGuard()
{
    return g_guard.get();
}

void releaseGuard()
{
    g_guard.reset();
}

} // namespace kestrova::app
