// The KWin backend against a real headless KWin 5.27 (kwin_wayland --virtual, no X
// server) on a private session bus, with three GTK windows (zenity's) of distinct app ids,
// read and waited for through one-off KWin scripts.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <wayland-client.h>

#include <cstdlib>
#include <filesystem>

#include "base/MainQueue.h"
#include "kwin/KWinGlobalShortcuts.h"
#include "kwin/KWinPlatform.h"
#include "kwin/WaylandIdle.h"

extern "C" {
#include "idle-client-protocol.h"
}
#include "support/WaylandDesktopTest.h"

namespace tervane::kwin {
namespace {

using nlohmann::json;
using testing::ChildProcess;

class KWinDesktop : public testing::WaylandDesktopTest<KWinPlatform> {
 protected:
  void SetUp() override {
    env_ = privateHome();
    for (const char* folder : {"bin", "state"}) std::filesystem::create_directories(dir_ / folder);
    // The installed binary carries a file capability that containers may refuse; a copy
    // runs, as long as it keeps its name (KWin finds its platform plugin by it).
    std::filesystem::copy_file("/usr/bin/kwin_wayland", dir_ / "bin" / "kwin_wayland");
    std::string address;
    bus_ = testing::startSessionBus({}, address);
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    env_.insert(env_.end(), {"DBUS_SESSION_BUS_ADDRESS=" + address,
                             "WAYLAND_DISPLAY=" + (dir_ / "run" / "wl-tervane").string(),
                             "QT_QPA_PLATFORM=wayland", "KWIN_COMPOSE=Q"});
    exportEnvironment();
    ::unsetenv("DISPLAY");
    kwin_ = ChildProcess::start(
        {(dir_ / "bin" / "kwin_wayland").string(), "--virtual", "--no-lockscreen", "--socket",
         "wl-tervane", "--width", "1280", "--height", "800"},
        env_, -1, (dir_ / "kwin.log").string());
    // KWin's Night Color takes its name once the workspace, with its scripting service, is up.
    auto waitKWin = ChildProcess::start(
        {"gdbus", "wait", "--session", "--timeout", "20", "org.kde.NightColor"}, env_);
    ASSERT_EQ(waitKWin->wait(25), 0) << "KWin did not come up";

    // The test's own view of KWin, apart from the platform under test.
    auto query = KWinBus::open(dir_ / "query");
    ASSERT_TRUE(query);
    query_ = query.value();
    for (const char* app : {kAlpha, kBeta, kGamma}) launch(app);
    KWinPlatform::Options options;
    options.stateFolder = dir_ / "state";
    usePlatform(options);
  }

  // A GTK window (foot stops on KWin's virtual screen, which has no physical size).
  void launch(const std::string& app) override {
    windows_[app] = ChildProcess::start({"zenity", "--info", "--name=" + app, "--title=" + app},
                                        env_, -1, (dir_ / (app + ".log")).string());
    EXPECT_TRUE(waitWindow(ofApp(app), true)) << app;
  }

  // Runs `body` with `mine()`, the windows `w` for which `filter` holds; whether it replies
  // true within 20 seconds.
  bool onWindows(const std::string& filter, const std::string& body) {
    auto answer = query_->runOnce(
        "function mine() {\n  return Array.prototype.slice.call(windowsNow())"
        ".filter(function (w) { return " +
            filter + "; });\n}\n" + body,
        std::chrono::seconds(20));
    return answer && answer.value() == true;
  }
  static std::string ofApp(const std::string& app, const std::string& title = {}) {
    return "isApp(w) && appOf(w) === " + json(app).dump() + " && String(w.caption).indexOf(" +
           json(title).dump() + ") === 0";
  }
  void bringForward(const std::string& app, bool) override {
    EXPECT_TRUE(onWindows(ofApp(app), R"JS(
mine().forEach(function (w) { w.minimized = false; setActive(w); }); reply(true);)JS"))
        << app;
  }
  bool putAway(const std::string& app) override {
    return onWindows(ofApp(app),
                     "mine().forEach(function (w) { w.minimized = true; });\nreply(true);");
  }
  bool waitAway(const std::string& app, bool minimized) override {
    return onWindows(ofApp(app), "var want = " + json(minimized).dump() + R"JS(;
function settled() { return mine().every(function (w) { return w.minimized === want; }); }
function check() { if (settled()) reply(true); }
check();
mine().forEach(function (w) { w.minimizedChanged.connect(check); });
)JS");
  }
  // Until a window for which `filter` holds is there (or none is left).
  bool waitWindow(const std::string& filter, bool present) {
    return onWindows(filter, "var want = " + json(present).dump() + R"JS(;
function settle(gone) {
  if (mine().some(function (w) { return w !== gone; }) === want) reply(true);
}
function watch(w) { w.captionChanged.connect(function () { settle(null); }); }
Array.prototype.slice.call(windowsNow()).forEach(watch);
(workspace.windowAdded || workspace.clientAdded).connect(function (w) { watch(w); settle(null); });
(workspace.windowRemoved || workspace.clientRemoved).connect(settle);
settle(null);
)JS");
  }
  bool close(const std::string& app) override {
    windows_.at(app)->stop();
    return waitWindow(ofApp(app), false);
  }
  // What KWin says now: app id to whether its window is minimized.
  Away away() override {
    Away out;
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
  bool dispatchUntil(const std::function<bool()>& done) override {
    return platform_->bus()->waitUntil(done, std::chrono::seconds(10));
  }
  // Over the whole screen, above every window, on every virtual desktop, with the keyboard.
  void expectShield(testing::AppUnderTest& app) override {
    const auto shield = query_->runOnce("var pid = " + std::to_string(app.pid()) + R"JS(;
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
    EXPECT_EQ(shield.value(),
              json({{"above", true}, {"everywhere", true}, {"width", 1280}, {"height", 800}}));
  }

  // What `gdbus call --session -d <service> <arguments>` prints.
  std::string gdbus(const std::string& service, std::vector<std::string> arguments) {
    const auto out = dir_ / ("gdbus-" + std::to_string(++commands_) + ".out");
    arguments.insert(arguments.begin(), {"gdbus", "call", "--session", "-d", service});
    ChildProcess::start(arguments, {}, -1, out.string())->wait(30);
    return testing::readText(out);
  }

  std::unique_ptr<ChildProcess> bus_;
  std::unique_ptr<ChildProcess> kwin_;
  std::shared_ptr<KWinBus> query_;
  int commands_ = 0;
};

TEST_F(KWinDesktop, HidesTheUnusedKeepsTheActiveAndBringsEveryWindowBack) {
  checkHidesAndBringsBack();
}

// Quitting takes the application's script out of KWin. (A kill is the crash rounds' part.)
TEST_F(KWinDesktop, TheApplicationStagesShieldsAndShows) {
  checkStagesShieldsAndShows("kwin");
  EXPECT_EQ(app_->terminate(), 0);
  EXPECT_EQ(
      gdbus("org.kde.KWin", {"-o", "/Scripting", "-m", "org.kde.kwin.Scripting.isScriptLoaded",
                             "tervane-now-activations"}),
      "(false,)\n");
}

TEST_F(KWinDesktop, AKilledRunLosesNothing) {
  checkCrashRounds();
}

class KWinBrowserTest : public KWinDesktop,
                        public ::testing::WithParamInterface<testing::WaylandBrowser> {};

// Without its companion the browser is seen and moved by its windows through KWin.
TEST_P(KWinBrowserTest, IsMovedByItsWindows) {
  const std::string app = bundleId(GetParam().kind);
  checkBrowser(GetParam(), [&] { return away().at(app); },
               [&](const std::string& title, bool present) {
                 return waitWindow(ofApp(app, title), present);
               });
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

// KWin's simulated user activity, standing in for a key press, resets the idle time.
TEST_F(KWinDesktop, IdleTimeGoesUpAndResets) {
  testing::checkIdleTimeGoesUpAndResets([] {
    wl_display* display = wl_display_connect(nullptr);
    ASSERT_NE(display, nullptr);
    std::map<std::string, std::uint32_t> names;
    static const wl_registry_listener listener = {
        [](void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t) {
          static_cast<std::map<std::string, std::uint32_t>*>(data)->emplace(interface, name);
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &names);
    EXPECT_GE(wl_display_roundtrip(display), 0);
    const auto bind = [&](const wl_interface& interface) {
      EXPECT_EQ(names.count(interface.name), 1u) << interface.name;
      return wl_registry_bind(registry, names[interface.name], &interface, 1);
    };
    auto* seat = static_cast<wl_seat*>(bind(wl_seat_interface));
    auto* idle = static_cast<org_kde_kwin_idle*>(bind(org_kde_kwin_idle_interface));
    org_kde_kwin_idle_timeout_simulate_user_activity(
        org_kde_kwin_idle_get_idle_timeout(idle, seat, 60000));
    EXPECT_GE(wl_display_roundtrip(display), 0);
    wl_display_disconnect(display);
  });
}

// The bee as Plasma's panel sees it: a StatusNotifierItem that registers with the watcher,
// and whose activation (a click on it) opens the card on KWin's screen.
TEST_F(KWinDesktop, TheBeeIsAStatusNotifierItemWhoseClickOpensTheCard) {
  // The panel's part: the watcher that keeps the items' bus names (an item names its own,
  // or only its path under its sender's).
  static constexpr auto registerItem = [](sd_bus_message* m, void* items, sd_bus_error*) {
    const char* service = nullptr;
    if (sd_bus_message_read(m, "s", &service) < 0) return -EINVAL;
    static_cast<std::vector<std::string>*>(items)->push_back(
        service[0] == '/' ? sd_bus_message_get_sender(m) : service);
    return sd_bus_reply_method_return(m, "");
  };
  static constexpr auto hostRegistered = [](sd_bus*, const char*, const char*, const char*,
                                            sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
  };
  static const sd_bus_vtable kWatcher[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", +registerItem, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("IsStatusNotifierHostRegistered", "b", +hostRegistered, 0, 0),
    SD_BUS_VTABLE_END};
  std::vector<std::string> items;
  sd_bus* watcher = nullptr;
  ASSERT_GE(sd_bus_open_user(&watcher), 0);
  const std::unique_ptr<sd_bus, decltype(&sd_bus_flush_close_unref)> closing(
      watcher, &sd_bus_flush_close_unref);
  ASSERT_GE(sd_bus_add_object_vtable(watcher, nullptr, "/StatusNotifierWatcher",
                                     "org.kde.StatusNotifierWatcher", kWatcher, &items), 0);
  ASSERT_GE(sd_bus_request_name(watcher, "org.kde.StatusNotifierWatcher", 0), 0);

  // The application asks the watcher while it starts, so the watcher answers meanwhile.
  auto& app = makeApp(true);
  app.start();
  ASSERT_TRUE(testing::processUntil(watcher, [&] { return !items.empty(); })) << app.output();
  const std::string ownWindow = "w.pid === " + std::to_string(app.pid());
  EXPECT_TRUE(waitWindow(ownWindow, false)) << "no card before the click";
  gdbus(items.front(),
        {"-o", "/StatusNotifierItem", "-m", "org.kde.StatusNotifierItem.Activate", "0", "0"});
  EXPECT_TRUE(waitWindow(ownWindow, true)) << app.output();
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
