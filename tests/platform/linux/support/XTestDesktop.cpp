#include "support/XTestDesktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "linux/Scratchpad.h"

namespace tervane::testing {

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& env, int keepFd,
                                                  const std::string& output,
                                                  const std::filesystem::path& folder) {
  // env(1) puts `env` over this process's environment and runs the program.
  std::vector<std::string> args = {"env"};
  args.insert(args.end(), env.begin(), env.end());
  args.insert(args.end(), argv.begin(), argv.end());
  std::vector<char*> argp;
  for (auto& s : args) argp.push_back(s.data());
  argp.push_back(nullptr);
  const std::string out = output.empty() ? "/dev/null" : output;
  const std::string workIn = folder.string();
  const pid_t parent = ::getpid();

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a crashed test leaves no server behind
    if (::getppid() != parent) ::_exit(127);
    const int sink = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int input = ::open("/dev/null", O_RDONLY);
    if (sink >= 0) {
      ::dup2(sink, 1);
      ::dup2(sink, 2);
    }
    if (input >= 0) ::dup2(input, 0);
    if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
    if (!workIn.empty() && ::chdir(workIn.c_str()) != 0) ::_exit(127);
    ::execvp(argp[0], argp.data());
    ::_exit(127);
  }
  ::setpgid(pid, pid);
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

ChildProcess::~ChildProcess() {
  stop();
}

bool ChildProcess::exited(double seconds) {
  if (status_) return true;
  // The process descriptor turns readable when the child exits; the child stays a zombie,
  // so its process group id cannot be reused before it is reaped.
  const int handle = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (handle < 0) return true;  // already reaped elsewhere
  pollfd p{handle, POLLIN, 0};
  int ready = -1;
  do {
    ready = ::poll(&p, 1, static_cast<int>(seconds * 1000));
  } while (ready < 0 && errno == EINTR);
  ::close(handle);
  return ready > 0;
}

std::optional<int> ChildProcess::wait(double seconds) {
  if (!exited(seconds)) return std::nullopt;
  if (!status_) {
    int status = 0;
    const bool reaped = ::waitpid(pid_, &status, 0) == pid_;
    status_ = !reaped ? 0 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return status_;
}

void ChildProcess::stop(double seconds) {
  if (status_ || pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  if (!exited(seconds)) {
    ::kill(-pid_, SIGKILL);
    exited(seconds);
  }
  // Helpers the process left in its group (a browser's renderers) go too, while the
  // unreaped leader still holds the group's id.
  ::kill(-pid_, SIGKILL);
  wait(0);
}

namespace {

// Starts a server that writes one line to a descriptor, named by its last argument (`fdArg`
// and the number), once it is ready (Xvfb its display number, dbus-daemon its address), and
// gives that line ("" when none came).
std::string startReady(std::unique_ptr<ChildProcess>& server, std::vector<std::string> argv,
                       const std::string& fdArg, const std::vector<std::string>& env = {}) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  argv.push_back(fdArg + std::to_string(fds[1]));
  server = ChildProcess::start(argv, env, fds[1]);
  ::close(fds[1]);
  const std::string line = readLine(fds[0]);
  ::close(fds[0]);
  return line;
}

const std::vector<std::string> kDbusDaemon = {"dbus-daemon", "--session", "--nofork"};

bool contains(const std::vector<xcb_window_t>& list, xcb_window_t window) {
  return std::find(list.begin(), list.end(), window) != list.end();
}

}  // namespace

XTestDesktop::XTestDesktop(std::string windowManager) : manager_(std::move(windowManager)) {
  const char* chosen = std::getenv("TERVANE_TEST_WM");
  if (manager_.empty()) manager_ = chosen != nullptr && *chosen != '\0' ? chosen : "openbox";
  display_ = ":" + startReady(server_,
                              {"Xvfb", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                               "-noreset", "-displayfd"},
                              "");
  if (display_ == ":") throw std::runtime_error("Xvfb did not start");
  // One session bus for the desktop's programs, which ends with it: a program that finds
  // none would start one of its own that outlives the test.
  auto dbus = kDbusDaemon;
  dbus.push_back("--address=unix:path=" + (home_ / "bus").string());
  busAddress_ = startReady(bus_, dbus, "--print-address=");
  if (busAddress_.empty()) throw std::runtime_error("dbus-daemon did not start");

  auto connection = x11::XConnection::open(display_);
  if (!connection) throw std::runtime_error("cannot connect to " + display_);
  watcher_ = connection.value();
  watcher_->selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
  std::filesystem::create_directories(home_ / "config");
  startWindowManager();
}

// For every program on the desktop, the window manager included: the GNOME, MATE, KDE and
// Xfce managers read their settings through the session bus (xfwm4 needs xfconfd, which the
// bus starts).
std::vector<std::string> XTestDesktop::environment() const {
  return {"DISPLAY=" + display_,
          "HOME=" + home_.path().string(),
          "XDG_CONFIG_HOME=" + (home_ / "config").string(),
          "XDG_DATA_HOME=" + (home_ / "data").string(),
          "XDG_CACHE_HOME=" + (home_ / "cache").string(),
          "DBUS_SESSION_BUS_ADDRESS=" + busAddress_};
}

void XTestDesktop::startWindowManager() {
  const std::string& name = manager_;
  std::vector<std::string> argv = {name};
  if (name == "openbox" || name == "mutter") argv.push_back("--sm-disable");
  if (name == "mutter") argv.push_back("--x11");
  // Settings a person would choose for a quiet desktop: fluxbox leaves the background
  // alone (without a wallpaper setter it says so in a window of its own), and icewm lets
  // the Super key through (by default it takes the key for its menu, and with it every
  // shortcut that holds Super).
  if (name == "fluxbox") {
    const auto folder = home_ / ".fluxbox";
    std::filesystem::create_directories(folder);
    writeText(folder / "init", "session.styleOverlay: " + (folder / "overlay").string() + "\n");
    writeText(folder / "overlay", "background: unset\n");
  } else if (name == "icewm") {
    std::filesystem::create_directories(home_ / ".icewm");
    writeText(home_ / ".icewm/preferences", "Win95Keys=0\n");
  } else if (name == "i3") {
    // No bar: the tree holds only the test's windows.
    writeText(home_ / "i3.config", "# i3 config file (v4)\nfont pango:monospace 8\n");
    argv = {name, "-c", (home_ / "i3.config").string()};
  }
  windowManager_ =
      ChildProcess::start(argv, environment(), -1, (home_ / "window-manager.log").string());
  // A manager announces itself with a check window of its own.
  if (!waitUntil([&] { return supportingCheck().has_value(); }, 30)) {
    throw std::runtime_error(name + " did not start on " + display_ + ": " +
                             readText(home_ / "window-manager.log").substr(0, 2000));
  }
  waitForWindowManagerLoop();
  // On a manager that puts windows away in its scratchpad, those read as minimized too.
  if (auto scratchpad = x11::Scratchpad::forDisplay(*watcher_)) {
    watcher_->setStowedQuery(
        [scratchpad] { return scratchpad->stowed().value_or(x11::Scratchpad::Windows{}); });
  }
}

int XTestDesktop::minimize(xcb_window_t window) {
  if (manager_ == "i3") return i3("[id=" + std::to_string(window) + "] move scratchpad");
  return run({"xdotool", "windowminimize", std::to_string(window)});
}

bool XTestDesktop::activate(xcb_window_t window) {
  // A manager may give the focus to the window mapped last a moment after it was listed,
  // and so after this activation; a person would click again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (run({"xdotool", "windowactivate", std::to_string(window)}) != 0) return false;
    if (waitActive(window, 5)) return true;
  }
  return false;
}

int XTestDesktop::i3(const std::string& command) {
  // Named, not taken from $I3SOCK: that may be the i3 of the person running the tests.
  const auto socket = x11::I3Ipc::socketPath(*watcher_);
  return socket ? run({"i3-msg", "-s", *socket, command}) : -1;
}

void XTestDesktop::stopWindowManager(bool again) {
  windowManager_.reset();
  // The server destroys the manager's windows once it has seen the connection close; a
  // new manager's may then even reuse their ids.
  if (!waitUntil([&] { return !supportingCheck(); })) {
    throw std::runtime_error("the window manager's windows outlived it on " + display_);
  }
  if (again) startWindowManager();
}

std::optional<xcb_window_t> XTestDesktop::supportingCheck() {
  auto reply = watcher_->reply(
      xcb_get_property_reply,
      xcb_get_property(watcher_->raw(), 0, watcher_->root(),
                       watcher_->atoms()._NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW, 0, 1));
  if (!reply || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
  const auto window = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
  // The window must exist: a manager that went leaves the root's property behind.
  auto attributes = watcher_->reply(xcb_get_window_attributes_reply,
                                    xcb_get_window_attributes(watcher_->raw(), window));
  if (!attributes) return std::nullopt;
  return window;
}

void XTestDesktop::waitForWindowManagerLoop() {
  // A manager may announce itself before it enters its event loop, and a request that
  // reaches it in between (a client's map request) can wait unhandled until some later event
  // arrives. Nothing tells when the loop has started, so a probe window is mapped and a
  // root property changed (an event every manager receives) until the probe is managed.
  const xcb_window_t probe = mapWindow({});
  const char* name = "TERVANE_TEST_KICK";
  const auto kick = watcher_->reply(xcb_intern_atom_reply,
                                    xcb_intern_atom(watcher_->raw(), 0, std::strlen(name), name));
  for (std::uint32_t round = 0; kick && round < 120; ++round) {
    xcb_change_property(watcher_->raw(), XCB_PROP_MODE_REPLACE, watcher_->root(), kick->atom,
                        XCB_ATOM_CARDINAL, 32, 1, &round);
    watcher_->flush();
    if (waitUntil([&] { return contains(clients(), probe); }, 0.25)) {
      xcb_destroy_window(watcher_->raw(), probe);
      xcb_delete_property(watcher_->raw(), watcher_->root(), kick->atom);
      watcher_->flush();
      waitUntil([&] { return !contains(clients(), probe); });
      return;
    }
  }
  throw std::runtime_error(manager_ + " does not manage windows on " + display_);
}

XTestDesktop::~XTestDesktop() {
  // Clients first, then the window manager, then the server they all need.
  while (!clients_.empty()) clients_.pop_back();
  windowManager_.reset();
  watcher_.reset();
  server_.reset();
}

ChildProcess& XTestDesktop::launch(const std::vector<std::string>& argv) {
  clients_.push_back(ChildProcess::start(argv, environment()));
  return *clients_.back();
}

xcb_window_t XTestDesktop::xterm(const std::string& className) {
  const auto known = clients();
  launch({"xterm", "-class", className, "-name", className, "-e", "cat"});
  std::optional<xcb_window_t> found;
  waitUntil(
      [&] {
        for (const auto& w : x11::readClients(*watcher_, clients())) {
          if (w.className == className && w.isRegular() && !contains(known, w.window)) {
            found = w.window;
          }
        }
        return found.has_value();
      },
      30);
  if (!found) throw std::runtime_error("no window of class " + className + " appeared");
  return *found;
}

int XTestDesktop::run(const std::vector<std::string>& argv, double seconds,
                      const std::filesystem::path& folder) {
  return ChildProcess::start(argv, environment(), -1, {}, folder)->wait(seconds).value_or(-1);
}

bool XTestDesktop::waitUntil(const std::function<bool()>& condition, double seconds) {
  // Select first, then look: a change after the look is an event that wakes the wait.
  return pumpUntil(
      *watcher_,
      [&] {
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        for (xcb_window_t window : clients()) {
          if (watched_.insert(window).second) {
            xcb_change_window_attributes(watcher_->raw(), window, XCB_CW_EVENT_MASK, &mask);
          }
        }
        watcher_->flush();
        return condition();
      },
      seconds);
}

xcb_window_t XTestDesktop::createWindow(const WindowSpec& spec) {
  const xcb_window_t window = mapWindow(spec);
  if (!waitUntil([&] { return contains(clients(), window); })) {
    throw std::runtime_error("the window manager did not take the test window");
  }
  return window;
}

xcb_window_t XTestDesktop::mapWindow(const WindowSpec& spec) {
  xcb_connection_t* c = watcher_->raw();
  const auto& atoms = watcher_->atoms();
  const xcb_window_t window = xcb_generate_id(c);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, watcher_->root(), 10, 10, 200, 120, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
  const auto set = [&](xcb_atom_t property, xcb_atom_t type, std::uint8_t format, std::size_t n,
                       const void* data) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, format, n, data);
  };
  // WM_CLASS is the instance name and the class, each ended by a NUL.
  const std::string wmClass = spec.className + '\0' + spec.className + '\0';
  if (!spec.className.empty())
    set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, wmClass.size(), wmClass.data());
  if (spec.pid) set(atoms._NET_WM_PID, XCB_ATOM_CARDINAL, 32, 1, &*spec.pid);
  if (!spec.title.empty())
    set(atoms._NET_WM_NAME, atoms.UTF8_STRING, 8, spec.title.size(), spec.title.data());
  if (spec.dialog)
    set(atoms._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, 1, &atoms._NET_WM_WINDOW_TYPE_DIALOG);
  if (spec.skipTaskbar)
    set(atoms._NET_WM_STATE, XCB_ATOM_ATOM, 32, 1, &atoms._NET_WM_STATE_SKIP_TASKBAR);
  xcb_map_window(c, window);
  watcher_->flush();
  return window;
}

bool XTestDesktop::pumpUntil(x11::XConnection& connection, const std::function<bool()>& condition,
                             double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    connection.dispatch();
    if (condition()) return true;
    const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
    if (!connection.waitForEvent(std::max(0.0, left.count()))) {
      connection.dispatch();
      return condition();
    }
  }
}

std::unique_ptr<ChildProcess> startSessionBus(const std::vector<std::string>& env,
                                              std::string& address) {
  std::unique_ptr<ChildProcess> bus;
  address = startReady(bus, kDbusDaemon, "--print-address=", env);
  return bus;
}

std::unique_ptr<ChildProcess> footWindow(const std::string& app,
                                         const std::vector<std::string>& env,
                                         const std::string& log) {
  return ChildProcess::start({"foot", "--app-id=" + app, "--title=" + app, "sleep", "3600"}, env,
                             -1, log);
}

std::string readLine(int fd) {
  std::string line;
  while (line.find('\n') == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20000) <= 0) return {};
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return {};
    line.append(buffer, static_cast<std::size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

std::vector<std::string> chromiumArguments(const std::filesystem::path& profile) {
  std::vector<std::string> args = {
      "chromium", "--user-data-dir=" + profile.string(), "--no-first-run",
      "--no-default-browser-check", "--disable-background-networking",
      "--disable-component-update", "--disable-sync", "--disable-gpu", "--password-store=basic"};
  if (::geteuid() == 0) args.push_back("--no-sandbox");
  return args;
}

std::unique_ptr<ChildProcess> WaylandBrowser::open(const std::filesystem::path& folder,
                                                   const std::string& page,
                                                   const std::vector<std::string>& env) const {
  const auto profile = folder / ("profile-" + page);
  std::filesystem::create_directories(profile);
  writeText(profile / "page.html", "<title>" + page + "</title>");
  const std::string url = "file://" + (profile / "page.html").string();
  auto args = chromiumArguments(profile);
  args.insert(args.end(), {"--ozone-platform=wayland", url});
  if (kind == BrowserKind::firefox) {
    args = {"env", "MOZ_ENABLE_WAYLAND=1", "firefox-esr", "-profile", profile.string(),
            "-no-remote", url};
  }
  return ChildProcess::start(args, env, -1, (profile / "log").string());
}

std::string WaylandBrowser::log(const std::filesystem::path& folder, const std::string& page) {
  return readText(folder / ("profile-" + page) / "log");
}

const WaylandBrowser kWaylandBrowsers[2] = {{"Chromium", BrowserKind::chrome},
                                            {"Firefox", BrowserKind::firefox}};

}  // namespace tervane::testing
