// Only one copy of the client runs at a time. The running copy holds a system-wide marker: a
// listening Unix socket in the abstract namespace, named after the deployment's instance marker
// and the user. The kernel removes the name with the last descriptor, so the marker is gone as
// soon as its holder ends, however it ends (kill -9 included). A second copy finds the name taken,
// tells the holder its own executable file name, and ends; the holder brings its visible window
// to the front (restored when minimised) when that name is its own.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace kestrova::app {

// How a second copy's request to the running copy ended.
enum class RaiseReply
{
    Raised,
    NoWindow,
    NoAnswer
};

class InstanceGuard final : public QObject
{
public:
    // marker: the deployment's instance marker; ownFileName: the executable file name this copy
    // answers to (normally its own).
    InstanceGuard(std::string marker, std::string ownFileName);
    ~InstanceGuard() override;
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // Takes the marker; true when no other copy holds it, and this one now does.
    bool acquire();
    bool holdsMarker() const { return static_cast<bool>(m_listener); }

    // Asks the copy holding the marker to bring its window forward, on behalf of an executable
    // named fileName. Waits at most timeoutMs for the answer.
    static RaiseReply askRunningCopy(const std::string& marker, const std::string& fileName,
                                     int timeoutMs = 2000);

    // The socket name for a marker (abstract namespace: starts with a zero byte).
    static std::string socketName(const std::string& marker);

    // Brings this copy's window forward; true when there was one. Defaults to the first of the
    // program's visible windows.
    std::function<bool()> raiseWindow;

private:
    struct FdCloser
    {
        void operator()(int* fd) const;
    };
    using Fd = std::unique_ptr<int, FdCloser>;

    void answerRequests();

    std::string m_marker;
    std::string m_ownFileName;
    Fd m_listener;
    QSocketNotifier* m_notifier = nullptr;
};

// The program's guard, run by LoginWindow's creation: returns true in the first copy (which then
// holds the marker for the rest of its life); in a second copy it asks the first copy to raise
// its window and ends the program through the exit operation. False only where the platform
// returned from that (tests).
bool guardSingleInstance();
// The guard of this process, when it holds the marker.
InstanceGuard* runningGuard();
// Drops this process's guard (tests).
void releaseGuard();

} // namespace kestrova::app
