// The KWin backend against a real headless KWin 5.27 (kwin_wayland --virtual, no X
// server) on a private session bus, with three Qt Wayland windows of distinct app ids.
// Waiting is done on KWin's own signals through one-off scripts, with bounds.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <wayland-client.h>
#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "kwin/KWinGlobalShortcuts.h"
#include "kwin/KWinPlatform.h"
#include "kwin/WaylandIdle.h"

extern "C" {
#include "idle-client-protocol.h"
}
#include "support/AppUnderTest.h"
#include "support/BrowserWindowsCheck.h"
#include "support/CrashRounds.h"
#include "support/TempDir.h"
#include "support/WaylandIdleCheck.h"
#include "support/XTestDesktop.h"

namespace tervane::kwin {
namespace {

using testing::ChildProcess;
using testing::readLine;

const std::vector<std::string> kApps = {"org.example.alpha", "org.example.beta",
                                        "org.example.gamma"};

// Replies once no window of `app` is left.
std::string untilClosed(const std::string& app, const std::string& title) {
  return "var app = " + nlohmann::json(app).dump() + ", title = " + nlohmann::json(title).dump() +
         R"JS(;
function has(except) {
  var all = windowsNow();
  for (var i = 0; i < all.length; ++i)
    if (all[i] !== except && isApp(all[i]) && appOf(all[i]) === app &&
        String(all[i].caption).indexOf(title) === 0) return true;
  return false;
}
if (!has(null)) reply(true);
else (workspace.windowRemoved || workspace.clientRemoved).connect(function (w) { if (!has(w)) reply(true); });
)JS";
}

// A stand-in for Plasma's panel: the StatusNotifierWatcher that a tray icon registers
// with, on its own connection, keeping the items' bus names.
class FakeTrayWatcher {
 public:
  FakeTrayWatcher() {
    static const sd_bus_vtable kWatcher[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", &FakeTrayWatcher::registerItem,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("RegisterStatusNotifierHost", "s", "", &FakeTrayWatcher::ignore,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_PROPERTY("IsStatusNotifierHostRegistered", "b", &FakeTrayWatcher::yes, 0, 0),
        SD_BUS_VTABLE_END};
    EXPECT_GE(sd_bus_open_user(&bus_), 0);
    EXPECT_GE(sd_bus_add_object_vtable(bus_, nullptr, "/StatusNotifierWatcher",
                                       "org.kde.StatusNotifierWatcher", kWatcher, this),
              0);
    EXPECT_GE(sd_bus_request_name(bus_, "org.kde.StatusNotifierWatcher", 0), 0);
  }
  ~FakeTrayWatcher() { sd_bus_flush_close_unref(bus_); }

  // Answers the bus until the first item registers, within 30 seconds; its bus name.
  std::optional<std::string> awaitItem() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (items_.empty()) {
      while (sd_bus_process(bus_, nullptr) > 0) {
      }
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      if (!items_.empty() || left.count() <= 0) break;
      sd_bus_wait(bus_, static_cast<std::uint64_t>(left.count()));
    }
    return items_.empty() ? std::nullopt : std::optional(items_.front());
  }

 private:
  static int registerItem(sd_bus_message* m, void* self, sd_bus_error*) {
    const char* service = nullptr;
    if (sd_bus_message_read(m, "s", &service) < 0) return -EINVAL;
    // An item names its own bus name, or only its path under its sender's name.
    static_cast<FakeTrayWatcher*>(self)->items_.push_back(
        service[0] == '/' ? sd_bus_message_get_sender(m) : service);
    return sd_bus_reply_method_return(m, "");
  }
  static int ignore(sd_bus_message* m, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(m, "");
  }
  static int yes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                 sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
  }

  sd_bus* bus_ = nullptr;
  std::vector<std::string> items_;
};

class KWinDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"bin", "run", "home", "state"}) {
      std::filesystem::create_directories(dir_ / folder);
    }
    std::filesystem::permissions(dir_ / "run", std::filesystem::perms::owner_all);
    // The installed binary carries a file capability that containers may refuse; a copy
    // runs, as long as it keeps its name (KWin finds its platform plugin by it).
    std::filesystem::copy_file("/usr/bin/kwin_wayland", dir_ / "bin" / "kwin_wayland");
    std::string address;
    bus_ = testing::startSessionBus({}, address);
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    const std::string home = (dir_ / "home").string();
    env_ = {"DBUS_SESSION_BUS_ADDRESS=" + address,
            "XDG_RUNTIME_DIR=" + (dir_ / "run").string(),
            "HOME=" + home,
            "XDG_CONFIG_HOME=" + home + "/.config",
            "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CACHE_HOME=" + home + "/.cache",
            "WAYLAND_DISPLAY=wl-tervane",
            "QT_QPA_PLATFORM=wayland",
            "KWIN_COMPOSE=Q"};
    for (const auto& entry : env_) ::putenv(const_cast<char*>(entry.c_str()));
    ::unsetenv("DISPLAY");
    kwin_ = ChildProcess::start(
        {(dir_ / "bin" / "kwin_wayland").string(), "--virtual", "--no-lockscreen", "--socket",
         "wl-tervane", "--width", "1280", "--height", "800"},
        env_, -1, (dir_ / "kwin.log").string());
    auto waitKWin = ChildProcess::start(
        {"gdbus", "wait", "--session", "--timeout", "20", "org.kde.KWin"}, env_);
    ASSERT_EQ(waitKWin->wait(25), 0) << "KWin did not come up";

    // A window shown means KWin's main loop runs, and with it the scripting service.
    for (const auto& app : kApps) launch(app);
    platform_ = openPlatform();
    ASSERT_TRUE(platform_);
    // The test's own view of KWin, apart from the platform under test.
    auto query = KWinBus::open(dir_ / "query");
    ASSERT_TRUE(query);
    query_ = query.value();
  }

  std::shared_ptr<KWinPlatform> openPlatform() {
    KWinPlatform::Options options;
    options.stateFolder = dir_ / "state";
    auto platform = KWinPlatform::open(options);
    EXPECT_TRUE(platform) << (platform ? "" : platform.error().message);
    return platform ? platform.value() : nullptr;
  }

  void launch(const std::string& app) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    windows_[app] =
        ChildProcess::start({TERVANE_TEST_WINDOW, app, std::to_string(fds[1])}, env_, fds[1]);
    ::close(fds[1]);
    EXPECT_EQ(readLine(fds[0]), "shown") << app << " did not appear";
    ::close(fds[0]);
  }

  // Until no window of `app` whose title starts with `title` is left.
  bool waitUntilClosed(const std::string& app, const std::string& title = {}) {
    auto answer = query_->runOnce(untilClosed(app, title), std::chrono::seconds(20));
    return answer && answer.value() == true;
  }

  // What KWin says now: app id to whether its window is minimized.
  std::map<std::string, bool> minimized() {
    std::map<std::string, bool> out;
    auto answer = query_->runOnce(R"JS(
var out = {}, all = windowsNow();
for (var i = 0; i < all.length; ++i) if (isApp(all[i])) out[appOf(all[i])] = all[i].minimized;
reply(out);
)JS");
    if (answer) {
      for (const auto& [app, value] : answer.value().items()) out[app] = value.get<bool>();
    }
    return out;
  }

  // What `gdbus call --session -d <service> <arguments>` prints.
  std::string gdbus(const std::string& service, const std::vector<std::string>& arguments) {
    const auto out = dir_ / ("gdbus-" + std::to_string(++commands_) + ".out");
    std::vector<std::string> argv = {
        "sh", "-c", "exec gdbus call --session -d \"$0\" \"$@\" >'" + out.string() + "'", service};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ChildProcess::start(argv)->wait(30);
    return std::filesystem::exists(out) ? testing::readText(out) : "";
  }
  // The application on this desktop (its own home, past its welcome); its windows on KWin's
  // screen when `onScreen`, else its panels stay off it and the person's window in front.
  testing::AppUnderTest& makeApp(bool onScreen = false) {
    app_ = std::make_unique<testing::AppUnderTest>(
        std::vector<std::string>{
            "WAYLAND_DISPLAY=" + (dir_ / "run" / "wl-tervane").string(),
            onScreen ? "QT_QPA_PLATFORM=wayland" : "QT_QPA_PLATFORM=offscreen"},
        TERVANE_NOW_TOOL);
    return *app_;
  }
  std::shared_ptr<AppSurfacing> surface(const std::shared_ptr<KWinPlatform>& platform) {
    return platform->appSurface(
        std::make_shared<ActivationLog>(defaults_, clock_, *platform->activationSource()));
  }

  testing::TempDir dir_;
  std::vector<std::string> env_;
  std::unique_ptr<ChildProcess> bus_;
  std::unique_ptr<ChildProcess> kwin_;
  std::map<std::string, std::unique_ptr<ChildProcess>> windows_;
  std::shared_ptr<KWinPlatform> platform_;
  MemoryDefaults defaults_;
  SystemClock clock_;
  std::shared_ptr<KWinBus> query_;
  std::unique_ptr<testing::AppUnderTest> app_;
  int commands_ = 0;
};

// Start: the active application stays, the two unused ones are minimized and read back so;
// Show everything: every window is back, but not one the person minimized, and one closed
// while hidden is not waited for; activation events name the application.
TEST_F(KWinDesktop, HidesTheUnusedKeepsTheActiveAndBringsEveryWindowBack) {
  auto apps = surface(platform_);
  std::vector<std::string> activated;
  auto subscription = platform_->activationSource()->onActivation(
      [&](const std::string& app) { activated.push_back(app); });
  ASSERT_TRUE(apps->activate("org.example.alpha"));
  ASSERT_TRUE(
      platform_->bus()->waitUntil([&] { return !activated.empty(); }, std::chrono::seconds(10)));
  EXPECT_EQ(activated.back(), "org.example.alpha");
  EXPECT_EQ(platform_->activationSource()->frontmostApplication(), "org.example.alpha");

  auto running = apps->runningApps();
  ASSERT_EQ(running.size(), 3u);
  for (const auto& app : running) {
    EXPECT_EQ(app.isFrontmost, app.bundleId == "org.example.alpha") << app.bundleId;
  }
  for (const auto& app : {"org.example.beta", "org.example.gamma"}) EXPECT_TRUE(apps->hide(app));
  EXPECT_EQ(minimized(), (std::map<std::string, bool>{{"org.example.alpha", false},
                                                      {"org.example.beta", true},
                                                      {"org.example.gamma", true}}));
  EXPECT_FALSE(apps->hide("org.example.beta")) << "nothing was left to minimize";
  EXPECT_FALSE(apps->hide("org.example.none"));

  for (const auto& app : {"org.example.beta", "org.example.gamma"}) EXPECT_TRUE(apps->unhide(app));
  EXPECT_EQ(minimized(), (std::map<std::string, bool>{{"org.example.alpha", false},
                                                      {"org.example.beta", false},
                                                      {"org.example.gamma", false}}));
  EXPECT_TRUE(apps->stillHidden().empty());

  ASSERT_TRUE(platform_->bus()->runOnce(R"JS(
var all = windowsNow();
for (var i = 0; i < all.length; ++i) if (appOf(all[i]) === "org.example.gamma") all[i].minimized = true;
reply(true);
)JS"));
  EXPECT_FALSE(apps->hide("org.example.gamma"));
  EXPECT_TRUE(apps->unhide("org.example.gamma"));
  EXPECT_TRUE(minimized().at("org.example.gamma"));

  ASSERT_TRUE(apps->hide("org.example.beta"));
  windows_.at("org.example.beta")->stop();
  ASSERT_TRUE(waitUntilClosed("org.example.beta"));
  EXPECT_FALSE(apps->unhide("org.example.beta")) << "the application no longer runs";
  EXPECT_TRUE(apps->stillHidden().empty());
}

// The application itself, a Wayland client of KWin: Start keeps the window in front and
// minimizes the two unused ones; the guard asks about a hidden window brought forward;
// Show everything brings them back; quitting unloads its script.
TEST_F(KWinDesktop, TheApplicationStagesShieldsAndShows) {
  ASSERT_TRUE(surface(platform_)->activate("org.example.alpha"));
  platform_.reset();
  auto& app = makeApp(true);
  app.launch();
  const std::map<std::string, bool> staged = {
      {"org.example.alpha", false}, {"org.example.beta", true}, {"org.example.gamma", true}};
  const std::map<std::string, bool> shown = {
      {"org.example.alpha", false}, {"org.example.beta", false}, {"org.example.gamma", false}};

  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  ASSERT_EQ(app.command({"start"}).status, 0);
  auto status = app.statusJson();
  EXPECT_EQ(status["desktop"], "kwin");
  EXPECT_EQ(app.stowedIds(), (std::set<std::string>{"org.example.beta", "org.example.gamma"}));
  EXPECT_EQ(minimized(), staged);

  // The person brings a hidden window forward, as a click in the task bar would: the
  // guard raises the shield over the whole screen, above every window, on every virtual
  // desktop, with the keyboard; and "Back to it" puts the window away again.
  ASSERT_EQ(app.command({"status", "--until", "settled"}).status, 0);
  ASSERT_TRUE(query_->runOnce(R"JS(
var all = windowsNow();
for (var i = 0; i < all.length; ++i)
  if (appOf(all[i]) === "org.example.beta") { all[i].minimized = false; setActive(all[i]); }
reply(true);
)JS"));
  ASSERT_EQ(app.command({"status", "--until", "shield"}).status, 0);
  status = app.statusJson();
  EXPECT_EQ(status["pendingSubject"]["id"], "org.example.beta");
  const std::string pid = std::to_string(app.pid());
  const auto shield = query_->runOnce("var pid = " + pid + R"JS(;
function check() {
  var w = activeNow();
  if (!w || w.pid !== pid || !w.fullScreen) return false;
  reply({above: w.keepAbove, everywhere: w.onAllDesktops, width: w.width, height: w.height});
  return true;
}
if (!check()) (workspace.windowActivated || workspace.clientActivated).connect(check);
)JS",
                                      std::chrono::seconds(20));
  ASSERT_TRUE(shield) << shield.error().message << app.output();
  EXPECT_EQ(
      shield.value(),
      nlohmann::json({{"above", true}, {"everywhere", true}, {"width", 1280}, {"height", 800}}));
  ASSERT_EQ(app.command({"answer", "no"}).status, 0);
  EXPECT_EQ(minimized(), staged);

  ASSERT_EQ(app.command({"show"}).status, 0);
  EXPECT_EQ(minimized(), shown);

  // Quitting takes its script out of KWin. (A kill is the crash rounds' part.)
  EXPECT_EQ(app.terminate(), 0);
  EXPECT_EQ(
      gdbus("org.kde.KWin", {"-o", "/Scripting", "-m", "org.kde.kwin.Scripting.isScriptLoaded",
                             "tervane-now-activations"}),
      "(false,)\n");
}

class KWinBrowserTest : public KWinDesktop,
                        public ::testing::WithParamInterface<testing::WaylandBrowser> {
 protected:
  // Opens a window of the browser and waits until KWin shows the page's title in it.
  std::unique_ptr<ChildProcess> open(const std::string& page) {
    auto browser = GetParam().open(dir_.path(), page, env_);
    auto shown = query_->runOnce("var page = " + nlohmann::json(page + " ").dump() + R"JS(;
function watch(w) {
  function titled() { if (String(w.caption).indexOf(page) === 0) reply(appOf(w)); }
  titled();
  w.captionChanged.connect(titled);
}
var all = windowsNow();
for (var i = 0; i < all.length; ++i) watch(all[i]);
(workspace.windowAdded || workspace.clientAdded).connect(watch);
)JS",
                                 std::chrono::seconds(40));
    EXPECT_TRUE(shown && shown.value() == bundleId(GetParam().kind))
        << (shown ? shown.value().dump() : shown.error().message)
        << testing::WaylandBrowser::log(dir_.path(), page);
    return browser;
  }
};

// Without its companion the browser is seen and moved by its windows through KWin.
TEST_P(KWinBrowserTest, IsMovedByItsWindows) {
  const BrowserKind kind = GetParam().kind;
  auto first = open("first");
  auto second = open("second");
  const auto apps = surface(platform_);
  testing::checkBrowserMovedByItsWindows({kind, apps.get(), platform_->browserSurface().get(),
                                          [&] { return minimized().at(bundleId(kind)); },
                                          [&] {
                                            second.reset();
                                            return waitUntilClosed(bundleId(kind), "second ");
                                          }});
}

INSTANTIATE_TEST_SUITE_P(Debian, KWinBrowserTest, ::testing::ValuesIn(testing::kWaylandBrowsers),
                         [](const auto& info) { return std::string(info.param.name); });

// KWin numbers a script by how many are loaded: once an earlier one goes, a new script
// gets the number (and the object path) of a later one. It still runs.
TEST_F(KWinDesktop, AScriptRunsWhenKWinGivesItANumberInUse) {
  ASSERT_TRUE(query_->loadResident("tervane-test-earlier", ""));
  ASSERT_TRUE(query_->loadResident("tervane-test-later", ""));
  query_->unload("tervane-test-earlier");
  const auto answer = query_->runOnce("reply(true);");
  EXPECT_TRUE(answer && answer.value() == true) << (answer ? "" : answer.error().message);
  query_->unload("tervane-test-later");
}

// Idle time goes up while nobody touches anything, and resets on input (KWin's simulated
// user activity standing in for a key press).
TEST_F(KWinDesktop, IdleTimeGoesUpAndResets) {
  testing::checkIdleTimeGoesUpAndResets([] {
    struct Globals {
      wl_seat* seat = nullptr;
      org_kde_kwin_idle* kde = nullptr;
    } globals;
    static const wl_registry_listener listener = {
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t) {
          auto* g = static_cast<Globals*>(data);
          if (std::string(interface) == wl_seat_interface.name && !g->seat) {
            g->seat =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
          } else if (std::string(interface) == org_kde_kwin_idle_interface.name) {
            g->kde = static_cast<org_kde_kwin_idle*>(
                wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
          }
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    wl_display* display = wl_display_connect(nullptr);
    ASSERT_NE(display, nullptr);
    wl_registry_add_listener(wl_display_get_registry(display), &listener, &globals);
    EXPECT_GE(wl_display_roundtrip(display), 0);
    if (globals.seat && globals.kde) {
      auto* timeout = org_kde_kwin_idle_get_idle_timeout(globals.kde, globals.seat, 60000);
      org_kde_kwin_idle_timeout_simulate_user_activity(timeout);
      EXPECT_GE(wl_display_roundtrip(display), 0);
    }
    wl_display_disconnect(display);
  });
}

// The bee as Plasma's panel sees it: a StatusNotifierItem that registers with the watcher,
// and whose activation (a click on it) opens the card on KWin's screen.
TEST_F(KWinDesktop, TheBeeIsAStatusNotifierItemWhoseClickOpensTheCard) {
  FakeTrayWatcher watcher;
  // The application asks the watcher while it starts, so the watcher answers meanwhile.
  auto& app = makeApp(true);
  app.start();
  const auto item = watcher.awaitItem();
  ASSERT_TRUE(item) << app.output();
  const std::string pid = std::to_string(app.pid());
  // Replies whether a window of the application shows now, or waits for one.
  const auto ownWindow = [&](bool wait) {
    return query_->runOnce("var pid = " + pid + ", wait = " + (wait ? "true" : "false") + R"JS(;
function has() {
  var all = windowsNow();
  for (var i = 0; i < all.length; ++i) if (all[i].pid === pid) return true;
  return false;
}
if (has() || !wait) reply(has());
else (workspace.windowAdded || workspace.clientAdded).connect(function () { if (has()) reply(true); });
)JS",
                           std::chrono::seconds(20));
  };
  EXPECT_EQ(ownWindow(false).value(), false) << "no card before the click";
  gdbus(*item,
        {"-o", "/StatusNotifierItem", "-m", "org.kde.StatusNotifierItem.Activate", "0", "0"});
  const auto card = ownWindow(true);
  EXPECT_TRUE(card) << app.output();
}

// The crash rounds on KWin: five applications, one of them minimized by the person.
TEST_F(KWinDesktop, AKilledRunLosesNothing) {
  for (const char* app : {"org.example.delta", "org.example.epsilon"}) launch(app);
  platform_.reset();
  auto& app = makeApp();
  testing::CrashDesktop crash;
  crash.apps = {"org.example.alpha", "org.example.beta", "org.example.gamma", "org.example.delta",
                "org.example.epsilon"};
  crash.minimizedByPerson = {"org.example.gamma"};
  const auto onWindowsOf = [&](const std::string& app, const std::string& body) {
    auto answer = query_->runOnce("var app = " + nlohmann::json(app).dump() + R"JS(;
function windowsOfApp() {
  var out = [], all = windowsNow();
  for (var i = 0; i < all.length; ++i) if (isApp(all[i]) && appOf(all[i]) === app) out.push(all[i]);
  return out;
}
)JS" + body,
                                  std::chrono::seconds(20));
    return answer && answer.value() == true;
  };
  crash.activate = [&](const std::string& app, bool) {
    EXPECT_TRUE(onWindowsOf(app, R"JS(
var mine = windowsOfApp();
for (var i = 0; i < mine.length; ++i) { mine[i].minimized = false; setActive(mine[i]); }
reply(true);
)JS"));
  };
  crash.waitMinimized = [&](const std::string& app, bool minimized) {
    return onWindowsOf(app, "var want = " + std::string(minimized ? "true" : "false") + R"JS(;
function settled() {
  var mine = windowsOfApp();
  for (var i = 0; i < mine.length; ++i) if (mine[i].minimized !== want) return false;
  return true;
}
if (settled()) reply(true);
else windowsOfApp().forEach(function (w) {
  w.minimizedChanged.connect(function () { if (settled()) reply(true); });
});
)JS");
  };
  ASSERT_TRUE(onWindowsOf("org.example.gamma", R"JS(
windowsOfApp().forEach(function (w) { w.minimized = true; });
reply(true);
)JS"));
  testing::runCrashRounds(app, crash);
}

// The shortcuts go to KDE's shortcut service with the application's combinations, and a
// press there runs the handler from the main queue. A combination another program holds
// stays unregistered until the setting changes to a free one.
TEST_F(KWinDesktop, GlobalShortcutsGoThroughKdesShortcutService) {
  const auto kglobalaccel = [&](const std::string& method, const std::vector<std::string>& rest) {
    std::vector<std::string> arguments = {"-o", "/kglobalaccel", "-m",
                                          "org.kde.KGlobalAccel." + method};
    arguments.insert(arguments.end(), rest.begin(), rest.end());
    return gdbus("org.kde.kglobalaccel", arguments);
  };
  // Qt's Control, Alt and Meta bits with the key's capital: Ctrl+Alt+Meta+S is taken.
  const std::string other = "['other', 'grab', 'Other', 'Grab']";
  kglobalaccel("doRegister", {other});
  ASSERT_EQ(kglobalaccel("setShortcut", {other, "[469762131]", "6"}), "([469762131],)\n");

  ManualClock clock;
  auto main = std::make_shared<ManualMainQueue>(clock);
  KeyboardShortcuts shortcuts(defaults_);
  AppShortcuts::declareAll(shortcuts);
  int captured = 0, started = 0;
  KWinGlobalShortcuts global(platform_->bus(), main, shortcuts);
  global.onKeyUp(AppShortcuts::capture(), [&] { ++captured; });
  global.onKeyUp(AppShortcuts::start(), [&] { ++started; });
  EXPECT_TRUE(global.isRegistered(AppShortcuts::capture()));
  EXPECT_FALSE(global.isRegistered(AppShortcuts::start()));
  EXPECT_EQ(kglobalaccel("shortcut", {"['tervane-now', 'capture', '', '']"}),
            "([469762126],)\n");  // Ctrl+Alt+Meta+N

  const auto press = [&](const std::string& action, int& count) {
    const int before = count;
    gdbus("org.kde.kglobalaccel", {"-o", "/component/tervane_now", "-m",
                                   "org.kde.kglobalaccel.Component.invokeShortcut", action});
    return platform_->bus()->waitUntil(
        [&] {
          main->drain();
          return count > before;
        },
        std::chrono::seconds(10));
  };
  EXPECT_TRUE(press("capture", captured));
  EXPECT_EQ(started, 0);

  shortcuts.setShortcut(Shortcut{KeyCode::t, AppShortcuts::kDefaultModifiers},
                        AppShortcuts::start());
  EXPECT_TRUE(global.isRegistered(AppShortcuts::start()));
  EXPECT_TRUE(press("start", started));
}

}  // namespace
}  // namespace tervane::kwin
