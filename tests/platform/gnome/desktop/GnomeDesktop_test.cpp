// The GNOME backend against a real headless GNOME Shell 43 (Wayland, a virtual monitor, no
// X server) on private session and system buses, with the Tervane Now extension installed
// by `tervane-now desktop install` and foot terminals as the person's windows. Waiting is
// done on the extension's own signals, with bounds.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "gnome/GnomeGlobalShortcuts.h"
#include "gnome/GnomePlatform.h"
#include "support/AppUnderTest.h"
#include "support/CrashRounds.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::gnome {
namespace {

using testing::ChildProcess;

const std::vector<std::string> kApps = {"org.example.alpha", "org.example.beta",
                                        "org.example.gamma"};

class GnomeDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"run", "home"}) {
      std::filesystem::create_directories(dir_ / folder);
      std::filesystem::permissions(dir_ / folder, std::filesystem::perms::owner_all);
    }
    const std::string home = (dir_ / "home").string();
    env_ = {"XDG_RUNTIME_DIR=" + (dir_ / "run").string(), "HOME=" + home,
            "XDG_CONFIG_HOME=" + home + "/.config", "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CACHE_HOME=" + home + "/.cache"};
    // The Shell needs a system bus to start; a private one does. The session bus starts
    // dconf, which must see this home.
    system_ = testing::startSessionBus(env_, systemAddress_);
    session_ = testing::startSessionBus(env_, sessionAddress_);
    ASSERT_FALSE(systemAddress_.empty() || sessionAddress_.empty()) << "dbus-daemon did not start";
    env_.insert(env_.end(), {"DBUS_SESSION_BUS_ADDRESS=" + sessionAddress_,
                             "DBUS_SYSTEM_BUS_ADDRESS=" + systemAddress_,
                             "WAYLAND_DISPLAY=" + (dir_ / "run" / "wl-tervane").string()});
    for (const auto& entry : env_) ::putenv(const_cast<char*>(entry.c_str()));
    ::unsetenv("DISPLAY");

    auto installed = ChildProcess::start({TERVANE_NOW_TOOL, "desktop", "install"}, env_, -1,
                                         (dir_ / "install.log").string());
    ASSERT_EQ(installed->wait(30), 0) << testing::readText(dir_ / "install.log");
    shell_ =
        ChildProcess::start({"gnome-shell", "--headless", "--wayland", "--no-x11",
                             "--virtual-monitor", "1280x800", "--wayland-display", "wl-tervane"},
                            env_, -1, (dir_ / "shell.log").string());
    ASSERT_TRUE(waitForShellReady()) << testing::readText(dir_ / "shell.log");
    auto query = GnomeShell::open();
    ASSERT_TRUE(query) << query.error().message;
    query_ = query.value();
    for (const auto& app : kApps) launch(app);
    platform_ = openPlatform();
    ASSERT_TRUE(platform_);
  }

  // Whether GNOME Shell has the extension on.
  static bool extensionOn(sd_bus* bus) {
    sd_bus_message* reply = nullptr;
    bool on = false;
    if (sd_bus_call_method(bus, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                           "GetExtensionInfo", nullptr, &reply, "s", GnomeShell::kUuid) >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "{sv}") > 0) {
      // a{sv}, whose "state" is a double: 1 when on.
      while (!on && sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* key = nullptr;
        double state = 0;
        sd_bus_message_read(reply, "s", &key);
        if (std::string(key) == "state" && sd_bus_message_read(reply, "v", "d", &state) >= 0) {
          on = state == 1.0;
        } else {
          sd_bus_message_skip(reply, "v");
        }
        sd_bus_message_exit_container(reply);
      }
    }
    sd_bus_message_unref(reply);
    return on;
  }
  static bool overviewActive(sd_bus* bus) {
    int active = 0;
    return sd_bus_get_property_trivial(bus, "org.gnome.Shell", "/org/gnome/Shell",
                                       "org.gnome.Shell", "OverviewActive", nullptr, 'b',
                                       &active) >= 0 &&
           active != 0;
  }

  // Until `done` holds for the Shell, asked again at each change it signals; within 30
  // seconds.
  static bool waitForShell(sd_bus* bus, const std::function<bool(sd_bus*)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done(bus)) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || sd_bus_wait(bus, static_cast<std::uint64_t>(left.count())) < 0) {
        return false;
      }
      while (sd_bus_process(bus, nullptr) > 0) {
      }
    }
    return true;
  }

  // The extension on, and the overview the Shell opens at start closed: new windows get
  // the focus only outside it.
  bool waitForShellReady() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return false;
    for (const char* rule :
         {"type='signal',interface='org.gnome.Shell.Extensions'",
          "type='signal',interface='org.freedesktop.DBus.Properties',path='/org/gnome/Shell'",
          "type='signal',interface='org.freedesktop.DBus',member='NameOwnerChanged'"}) {
      sd_bus_add_match(bus, nullptr, rule, nullptr, nullptr);
    }
    const bool ready =
        waitForShell(bus, [](sd_bus* b) { return extensionOn(b) && overviewActive(b); }) &&
        sd_bus_set_property(bus, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                            "OverviewActive", nullptr, "b", 0) >= 0 &&
        waitForShell(bus, [](sd_bus* b) { return !overviewActive(b); });
    sd_bus_flush_close_unref(bus);
    return ready;
  }

  std::shared_ptr<GnomePlatform> openPlatform() {
    GnomePlatform::Options options;
    options.stateFolder = dir_ / "state";
    auto platform = GnomePlatform::open(options);
    EXPECT_TRUE(platform) << (platform ? "" : platform.error().message);
    return platform ? platform.value() : nullptr;
  }

  // A foot window of app id `app`, once the Shell has given it the focus, as it gives a
  // new window.
  void launch(const std::string& app) {
    windows_[app] = testing::footWindow(app, env_, (dir_ / (app + ".log")).string());
    EXPECT_TRUE(waitFor([&](const auto& apps) {
      return apps.count(app) != 0 && apps.at(app).value("active", false);
    })) << app;
  }

  // The windows the extension lists, by app id (one each here).
  std::map<std::string, nlohmann::json> windows() {
    std::map<std::string, nlohmann::json> out;
    if (auto list = query_->listWindows()) {
      for (const auto& window : list.value()) out[window.value("app", "")] = window;
    }
    return out;
  }
  // The person's applications (not this one's windows): whether each is minimized.
  std::map<std::string, bool> minimized() {
    std::map<std::string, bool> out;
    for (const auto& [app, window] : windows()) {
      if (app != GnomePlatform::kOwnAppId) out[app] = window.value("minimized", false);
    }
    return out;
  }

  // Until `done` holds for the windows, read again at each of the extension's signals;
  // within 20 seconds.
  bool waitFor(const std::function<bool(const std::map<std::string, nlohmann::json>&)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Each call may read signals into memory: they are dispatched before any wait.
    while (query_->dispatch() && !done(windows())) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{query_->fileDescriptor(), POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    }
    return done(windows());
  }
  bool waitMinimized(const std::string& app, bool minimized) {
    return waitFor([&](const auto& apps) {
      return apps.count(app) != 0 && apps.at(app).value("minimized", !minimized) == minimized;
    });
  }
  std::string idOf(const std::string& app) { return windows()[app].value("id", ""); }

  std::shared_ptr<AppSurfacing> surface() {
    return platform_->appSurface(
        std::make_shared<ActivationLog>(defaults_, clock_, *platform_->activationSource()));
  }

  testing::AppUnderTest& makeApp(bool onScreen = false) {
    app_ = std::make_unique<testing::AppUnderTest>(
        std::vector<std::string>{
            "WAYLAND_DISPLAY=" + (dir_ / "run" / "wl-tervane").string(),
            "DBUS_SESSION_BUS_ADDRESS=" + sessionAddress_,
            onScreen ? "QT_QPA_PLATFORM=wayland" : "QT_QPA_PLATFORM=offscreen"},
        TERVANE_NOW_TOOL);
    return *app_;
  }

  testing::TempDir dir_;
  std::vector<std::string> env_;
  std::string systemAddress_, sessionAddress_;
  std::unique_ptr<ChildProcess> system_, session_, shell_;
  std::shared_ptr<GnomeShell> query_;
  std::map<std::string, std::unique_ptr<ChildProcess>> windows_;
  std::shared_ptr<GnomePlatform> platform_;
  MemoryDefaults defaults_;
  SystemClock clock_;
  std::unique_ptr<testing::AppUnderTest> app_;
};

// Start: the active application stays, the two unused ones are minimized and read back so;
// Show everything: every window is back, but not one the person minimized, and one closed
// while hidden is not waited for; activation events name the application; idle time
// comes from Mutter.
TEST_F(GnomeDesktop, HidesTheUnusedKeepsTheActiveAndBringsEveryWindowBack) {
  auto apps = surface();
  std::vector<std::string> activated;
  auto subscription = platform_->activationSource()->onActivation(
      [&](const std::string& app) { activated.push_back(app); });
  ASSERT_TRUE(apps->activate("org.example.alpha"));
  // The call may have read the signal already: it is dispatched before any wait.
  for (int events = 0; events < 50 && platform_->shell()->dispatch() && activated.empty();
       ++events) {
    pollfd p{platform_->shell()->fileDescriptor(), POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) break;
  }
  ASSERT_FALSE(activated.empty());
  EXPECT_EQ(activated.back(), "org.example.alpha");
  EXPECT_EQ(platform_->activationSource()->frontmostApplication(), "org.example.alpha");
  const auto running = apps->runningApps();
  ASSERT_EQ(running.size(), 3u);
  for (const auto& app : running) {
    EXPECT_EQ(app.isFrontmost, app.bundleId == "org.example.alpha") << app.bundleId;
  }
  EXPECT_GE(apps->humanIdleSeconds(), 0.0);

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

  ASSERT_TRUE(query_->setMinimized({idOf("org.example.gamma")}, true));
  EXPECT_FALSE(apps->hide("org.example.gamma"));
  EXPECT_TRUE(apps->unhide("org.example.gamma"));
  EXPECT_TRUE(minimized().at("org.example.gamma")) << "the person's own stays minimized";

  ASSERT_TRUE(apps->hide("org.example.beta"));
  windows_.at("org.example.beta")->stop();
  ASSERT_TRUE(waitFor([](const auto& apps) { return apps.count("org.example.beta") == 0; }));
  EXPECT_FALSE(apps->unhide("org.example.beta")) << "the application no longer runs";
  EXPECT_TRUE(apps->stillHidden().empty());
}

// The application itself on GNOME Shell: Start minimizes the two unused applications; the
// guard raises the shield over one brought forward and "Back to it" minimizes it again;
// Show everything brings them back, and so does Finished.
TEST_F(GnomeDesktop, TheApplicationStagesShieldsAndShows) {
  ASSERT_TRUE(query_->activate(idOf("org.example.alpha")));
  platform_.reset();
  auto& app = makeApp(true);
  app.launch();
  const std::map<std::string, bool> staged = {
      {"org.example.alpha", false}, {"org.example.beta", true}, {"org.example.gamma", true}};

  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  ASSERT_EQ(app.command({"start"}).status, 0);
  auto status = app.statusJson();
  EXPECT_EQ(status["desktop"], "gnome");
  EXPECT_EQ(app.stowedIds(), (std::set<std::string>{"org.example.beta", "org.example.gamma"}));
  EXPECT_EQ(minimized(), staged);

  ASSERT_EQ(app.command({"status", "--until", "settled"}).status, 0);
  ASSERT_TRUE(query_->activate(idOf("org.example.beta")));
  ASSERT_EQ(app.command({"status", "--until", "shield"}).status, 0);
  EXPECT_EQ(app.statusJson()["pendingSubject"]["id"], "org.example.beta");
  EXPECT_TRUE(waitFor([](const auto& apps) {
    return apps.count(GnomePlatform::kOwnAppId) != 0 &&
           apps.at(GnomePlatform::kOwnAppId).value("active", false);
  })) << "the shield has the focus";
  ASSERT_EQ(app.command({"answer", "no"}).status, 0);
  EXPECT_TRUE(waitMinimized("org.example.beta", true));

  const std::map<std::string, bool> shown = {
      {"org.example.alpha", false}, {"org.example.beta", false}, {"org.example.gamma", false}};
  ASSERT_EQ(app.command({"show"}).status, 0);
  EXPECT_EQ(minimized(), shown);

  // Finished closes a new stage and brings everything back too (beta, just used, stays).
  ASSERT_EQ(app.command({"start"}).status, 0);
  EXPECT_TRUE(minimized().at("org.example.gamma"));
  ASSERT_EQ(app.command({"done"}).status, 0);
  EXPECT_EQ(minimized(), shown);
  EXPECT_TRUE(app.statusJson()["stage"].is_null()) << app.statusJson();
  EXPECT_EQ(app.terminate(), 0);
}

// The bee is in the top bar in the tray's picture, placed by the top bar; the shortcuts are
// grabbed through the extension (the capture shortcut among them); Mutter counts the idle
// time; when the application dies, the bee and the shortcuts go. (The headless Shell has
// no input device to click the bee or press the keys with.)
TEST_F(GnomeDesktop, TheBeeTheShortcutsAndIdleTimeGoThroughTheShell) {
  platform_.reset();
  auto& app = makeApp(true);
  app.launch();
  ASSERT_TRUE(waitFor([&](const auto&) {
    const auto bee = query_->bee();
    return bee && bee.value().value("picture", "").find("bee-") != std::string::npos;
  })) << app.output();
  const auto bee = query_->bee().value();
  EXPECT_GT(bee.value("width", 0.0), 0.0);
  EXPECT_LT(bee.value("y", 800.0), 100.0) << "in the top bar";
  EXPECT_GE(query_->idleSeconds().value_or(-1), 0.0);

  const auto capture = gtkAccelerator(*AppShortcuts::capture().defaultShortcut);
  ASSERT_EQ(capture, "<Control><Alt><Super>n");
  const auto held = query_->accelerators();
  ASSERT_TRUE(held);
  EXPECT_NE(std::find(held.value().begin(), held.value().end(), *capture), held.value().end())
      << *capture;

  // A crash takes them away too.
  app.kill();
  EXPECT_TRUE(waitFor([&](const auto&) {
    return query_->bee().value().value("picture", "?").empty();
  })) << "the bee goes with it";
  EXPECT_TRUE(query_->accelerators().value().empty());
}

// The crash rounds on GNOME Shell: five applications, one of them minimized by the person.
TEST_F(GnomeDesktop, AKilledRunLosesNothing) {
  for (const char* app : {"org.example.delta", "org.example.epsilon"}) launch(app);
  platform_.reset();
  auto& app = makeApp();
  testing::CrashDesktop crash;
  crash.apps = {"org.example.alpha", "org.example.beta", "org.example.gamma", "org.example.delta",
                "org.example.epsilon"};
  crash.minimizedByPerson = {"org.example.gamma"};
  crash.activate = [&](const std::string& app, bool sync) {
    EXPECT_TRUE(query_->activate(idOf(app)) || !sync) << app;
  };
  crash.waitMinimized = [&](const std::string& app, bool minimized) {
    return waitMinimized(app, minimized);
  };
  ASSERT_TRUE(query_->setMinimized({idOf("org.example.gamma")}, true));
  testing::runCrashRounds(app, crash);
}

}  // namespace
}  // namespace tervane::gnome
