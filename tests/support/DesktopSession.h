#pragma once
// A desktop session of the test's own in which real applications run: a home with its
// XDG folders (the music folder an empty <home>/Music), an X display (Xvfb), and a
// session bus that starts the named applications on demand by D-Bus activation, in
// the session's environment, as a desktop's bus does. Settings live in memory
// (GSETTINGS_BACKEND=memory): nothing reaches the machine's own.
//
//   twtest::DesktopSession session({"org.gnome.Rhythmbox3"});
//   ASSERT_TRUE(session.ok()) << session.error();
//   session.run({"rhythmbox-client", "--quit"}, 60);
//   runCli({...}, session.environment());
//
// The destructor ends every process that still has a connection to the session's bus
// (by its id), then the bus and the display. Main thread of a test.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PrivateBus.h"
#include "TestSupport.h"

namespace twtest {

class DesktopSession {
public:
    // `services`: bus names whose service files the system installed under
    // /usr/share/dbus-1/services.
    explicit DesktopSession(const std::vector<std::string>& services);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    const TempDir& dir() const { return dir_; }
    std::string home() const { return dir_ / "home"; }
    std::string dataHome() const { return dir_ / "data"; }
    // The variables a process of this session needs (HOME, XDG_*, DISPLAY, the bus).
    const std::map<std::string, std::string>& environment() const { return environment_; }
    // A connection of the test's own to the session's bus.
    PrivateBus::Connection connect() const { return bus_->connect(); }

    // Runs a program (found on PATH) in the session and answers its exit status; -1
    // when it did not exit normally within `limitSeconds` (it is killed then).
    int run(const std::vector<std::string>& argv, int limitSeconds) const;

private:
    void startDisplay();
    void endSessionProcesses();

    TempDir dir_{"twinsift-desktop"};
    std::map<std::string, std::string> environment_;
    pid_t display_ = -1;
    std::unique_ptr<PrivateBus> bus_;
    std::string error_;
};

}  // namespace twtest
