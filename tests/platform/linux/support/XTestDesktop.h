// A private X desktop for one test: its own Xvfb on a free display (found by Xvfb itself
// through -displayfd), the window manager named by TERVANE_TEST_WM (openbox by default;
// also icewm, fluxbox, metacity, marco, mutter, kwin_x11, xfwm4 and i3), and the real clients
// the test launches. Waiting is done on X events (a test connection selects property changes on
// the root and on every client window) with generous bounds, never by sleeping.
// Everything started here is stopped when the desktop goes.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "linux/ClientWindows.h"
#include "linux/XConnection.h"
#include "support/TempDir.h"

namespace tervane::testing {

// Debian's Chromium with `profile` as its user data folder, quiet and without a GPU.
std::vector<std::string> chromiumArguments(const std::filesystem::path& profile);
// The first line `fd` gives, without its end; "" when none comes within 20 seconds.
std::string readLine(int fd);

// A child process in its own process group; the whole group is ended with the object.
class ChildProcess {
 public:
  // Starts `argv` with `env` added to this process's environment. `keepFd` stays open
  // in the child. Output goes to `output` (or nowhere).
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                             const std::vector<std::string>& env = {},
                                             int keepFd = -1, const std::string& output = {},
                                             const std::filesystem::path& folder = {});
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  // Asks the group to end (SIGTERM), then kills it when it takes longer than `seconds`.
  void stop(double seconds = 5.0);
  // Waits for the process to exit; its exit status, or none when it outlived `seconds`.
  std::optional<int> wait(double seconds);

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  bool exited(double seconds);
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// A private session bus (dbus-daemon) with `env` added to its environment, and its address
// ("" when it did not start).
std::unique_ptr<ChildProcess> startSessionBus(const std::vector<std::string>& env,
                                              std::string& address);
// A foot terminal with app id and title `app`, its output in `log`.
std::unique_ptr<ChildProcess> footWindow(const std::string& app,
                                         const std::vector<std::string>& env,
                                         const std::string& log);

// A browser of Debian's (Chromium or Firefox ESR) as a Wayland client, each window in a
// process and profile of its own.
struct WaylandBrowser {
  const char* name;
  BrowserKind kind;

  // Opens a window on a local page titled `page`, with its profile and its output in
  // `folder`/profile-`page`.
  std::unique_ptr<ChildProcess> open(const std::filesystem::path& folder, const std::string& page,
                                     const std::vector<std::string>& env) const;
  static std::string log(const std::filesystem::path& folder, const std::string& page);
};
extern const WaylandBrowser kWaylandBrowsers[2];

class XTestDesktop {
 public:
  // Starts Xvfb and the window manager (by default TERVANE_TEST_WM, or openbox); throws
  // std::runtime_error when either does not come up.
  explicit XTestDesktop(std::string windowManager = {});
  // Stops the window manager (and with `again` starts a new one of the same kind, which
  // takes over the windows as they are).
  void stopWindowManager(bool again = false);
  ~XTestDesktop();

  const std::string& display() const { return display_; }
  // The desktop's own session bus, for the programs started on it.
  const std::string& busAddress() const { return busAddress_; }
  const TempDir& home() const { return home_; }
  // The test's own connection, used for waiting and for checking the server's state.
  x11::XConnection& x() { return *watcher_; }

  // Puts a window away as the person would: iconified, or on i3 in the scratchpad.
  int minimize(xcb_window_t window);
  // Activates a window as a person would (asking again while another takes the focus);
  // whether it is then the active window.
  bool activate(xcb_window_t window);
  int i3(const std::string& command);
  ChildProcess& launch(const std::vector<std::string>& argv);
  // Starts an xterm with this class (and instance name), running `cat`, and gives its
  // window once the window manager lists it.
  xcb_window_t xterm(const std::string& className);
  // Runs a command to its end (e.g. xdotool), in `folder` when one is given; its exit
  // status.
  int run(const std::vector<std::string>& argv, double seconds = 30,
          const std::filesystem::path& folder = {});

  // A window of the test process itself, managed by the window manager.
  struct WindowSpec {
    std::string className;  // none when empty
    std::optional<std::uint32_t> pid{};
    bool dialog = false;
    bool skipTaskbar = false;
    std::string title{};

    static WindowSpec ofClass(std::string name) { return {.className = std::move(name)}; }
    WindowSpec& titled(std::string text) { return title = std::move(text), *this; }
  };
  xcb_window_t createWindow(const WindowSpec& spec);

  // Re-evaluates `condition` after every X event on the root or a client window until it
  // holds or `seconds` pass.
  bool waitUntil(const std::function<bool()>& condition, double seconds = 20);
  // Makes sure `connection` has received every event the server sent it so far, and
  // dispatches them to its handlers.
  static void settle(x11::XConnection& c) { c.sync(), c.dispatch(); }
  // Dispatches `connection`'s events as they come until `condition` holds.
  static bool pumpUntil(x11::XConnection& connection, const std::function<bool()>& condition,
                        double seconds = 20);

  std::optional<x11::ClientWindow> client(xcb_window_t w) { return readClient(x(), w, true); }
  bool isIconic(xcb_window_t w) { return client(w).value_or(x11::ClientWindow{}).isIconic; }
  std::optional<xcb_window_t> active() { return x11::activeWindow(x()); }
  std::vector<xcb_window_t> clients() { return clientList(x(), x11::ClientOrder::mapping); }
  bool waitIconic(xcb_window_t window, bool iconic, double seconds = 20) {
    return waitUntil([&] { return isIconic(window) == iconic; }, seconds);
  }
  bool waitActive(xcb_window_t window, double seconds = 20) {
    return waitUntil([&] { return active() == window; }, seconds);
  }

 private:
  std::vector<std::string> environment() const;
  void startWindowManager();
  void waitForWindowManagerLoop();
  std::optional<xcb_window_t> supportingCheck();
  // Creates and maps a window of the test process, without waiting for the manager.
  xcb_window_t mapWindow(const WindowSpec& spec);

  TempDir home_;
  std::string manager_;
  std::string display_;
  std::unique_ptr<ChildProcess> server_;
  std::string busAddress_;
  std::unique_ptr<ChildProcess> bus_;
  std::unique_ptr<ChildProcess> windowManager_;
  std::shared_ptr<x11::XConnection> watcher_;
  std::set<xcb_window_t> watched_;
  std::vector<std::unique_ptr<ChildProcess>> clients_;
};

}  // namespace tervane::testing
