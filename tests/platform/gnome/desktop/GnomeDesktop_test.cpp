// The GNOME backend against a real headless GNOME Shell 43 (Wayland, a virtual monitor, no
// X server) on private session and system buses, with the Tervane Now extension installed
// by `tervane-now desktop install` and foot terminals as the person's windows.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "gnome/GnomePlatform.h"
#include "support/WaylandDesktopTest.h"

namespace tervane::gnome {
namespace {

using testing::ChildProcess;

// Mutter's remote desktop: a virtual pointer and keyboard in the Shell's own seat, which
// is how a remote session clicks and types. The session lasts as long as this connection.
class RemoteInput {
 public:
  RemoteInput() {
    sd_bus_message* reply = nullptr;
    const char* path = nullptr;
    if (sd_bus_open_user(&bus_) >= 0 &&
        sd_bus_call_method(bus_, kService, "/org/gnome/Mutter/RemoteDesktop", kService,
                           "CreateSession", nullptr, &reply, "") >= 0 &&
        sd_bus_message_read(reply, "o", &path) >= 0) {
      session_ = path;
      if (!call("Start", "")) session_.clear();
    }
    sd_bus_message_unref(reply);
  }
  ~RemoteInput() { sd_bus_flush_close_unref(bus_); }
  explicit operator bool() const { return !session_.empty(); }

  // A left click at (x, y): a long move first stops the pointer in the top left corner.
  bool click(double x, double y) {
    constexpr int kLeftButton = 272;  // BTN_LEFT
    return call("NotifyPointerMotionRelative", "dd", -1e4, -1e4) &&
           call("NotifyPointerMotionRelative", "dd", x, y) &&
           call("NotifyPointerButton", "ib", kLeftButton, 1) &&
           call("NotifyPointerButton", "ib", kLeftButton, 0);
  }
  // Presses the keys (X keysyms) in order and lets go of them in reverse.
  bool press(const std::vector<std::uint32_t>& keysyms) {
    bool sent = true;
    for (auto key : keysyms) sent = sent && call("NotifyKeyboardKeysym", "ub", key, 1);
    for (auto key = keysyms.rbegin(); key != keysyms.rend(); ++key) {
      sent = call("NotifyKeyboardKeysym", "ub", *key, 0) && sent;
    }
    return sent;
  }

 private:
  static constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";

  template <class... Args>
  bool call(const char* method, const char* types, Args... args) {
    return sd_bus_call_method(bus_, kService, session_.c_str(),
                              "org.gnome.Mutter.RemoteDesktop.Session", method, nullptr, nullptr,
                              types, args...) >= 0;
  }

  sd_bus* bus_ = nullptr;
  std::string session_;
};

class GnomeDesktop : public testing::WaylandDesktopTest<GnomePlatform> {
 protected:
  void SetUp() override {
    env_ = privateHome();
    // The Shell needs a system bus to start; a private one does. The session bus starts
    // dconf, which must see this home.
    system_ = testing::startSessionBus(env_, systemAddress_);
    session_ = testing::startSessionBus(env_, sessionAddress_);
    ASSERT_FALSE(systemAddress_.empty() || sessionAddress_.empty()) << "dbus-daemon did not start";
    env_.insert(env_.end(), {"DBUS_SESSION_BUS_ADDRESS=" + sessionAddress_,
                             "DBUS_SYSTEM_BUS_ADDRESS=" + systemAddress_,
                             "WAYLAND_DISPLAY=" + (dir_ / "run" / "wl-tervane").string()});
    exportEnvironment();
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
    for (const char* app : {kAlpha, kBeta, kGamma}) launch(app);
    GnomePlatform::Options options;
    options.stateFolder = dir_ / "state";
    usePlatform(options);
  }

  // The extension answering, and the overview the Shell opens at start closed: new windows
  // get the focus only outside it.
  bool waitForShellReady() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return false;
    for (const char* rule :
         {"type='signal',interface='org.gnome.Shell.Extensions'",
          "type='signal',interface='org.freedesktop.DBus.Properties',path='/org/gnome/Shell'",
          "type='signal',interface='org.freedesktop.DBus',member='NameOwnerChanged'"}) {
      sd_bus_add_match(bus, nullptr, rule, nullptr, nullptr);
    }
    const auto overview = [&] {
      int active = 0;
      return sd_bus_get_property_trivial(bus, "org.gnome.Shell", "/org/gnome/Shell",
                                         "org.gnome.Shell", "OverviewActive", nullptr, 'b',
                                         &active) >= 0 &&
             active != 0;
    };
    const bool ready =
        testing::processUntil(bus, [&] { return overview() && GnomeShell::open(); }) &&
        sd_bus_set_property(bus, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                            "OverviewActive", nullptr, "b", 0) >= 0 &&
        testing::processUntil(bus, [&] { return !overview(); });
    sd_bus_flush_close_unref(bus);
    return ready;
  }

  // A foot window of app id `app`, once the Shell has given it the focus, as it gives a
  // new window.
  void launch(const std::string& app) override {
    windows_[app] = testing::footWindow(app, env_, (dir_ / (app + ".log")).string());
    EXPECT_TRUE(waitFor([&](const auto& apps) {
      return apps.count(app) != 0 && apps.at(app).value("active", false);
    })) << app;
  }
  void bringForward(const std::string& app, bool sync) override {
    EXPECT_TRUE(query_->activate(idOf(app)) || !sync) << app;
  }
  bool putAway(const std::string& app) override {
    return static_cast<bool>(query_->setMinimized({idOf(app)}, true));
  }
  bool waitAway(const std::string& app, bool minimized) override {
    return waitFor([&](const auto& apps) {
      return apps.count(app) != 0 && apps.at(app).value("minimized", !minimized) == minimized;
    });
  }
  Away away() override {
    Away out;
    for (const auto& [app, window] : windows()) {
      if (app != GnomePlatform::kOwnAppId) out[app] = window.value("minimized", false);
    }
    return out;
  }
  bool close(const std::string& app) override {
    windows_.at(app)->stop();
    return waitFor([&](const auto& apps) { return apps.count(app) == 0; });
  }
  // A call may have read the signals already: they are dispatched before any wait.
  bool dispatchUntil(const std::function<bool()>& done) override {
    const auto& shell = platform_->shell();
    return testing::pollUntil(
        shell->fileDescriptor(), [] { return true; }, [&] { return shell->dispatch() && done(); });
  }
  // The Shell gives the shield the focus.
  void expectShield(testing::AppUnderTest& app) override {
    EXPECT_TRUE(waitFor([](const auto& apps) {
      return apps.count(GnomePlatform::kOwnAppId) != 0 &&
             apps.at(GnomePlatform::kOwnAppId).value("active", false);
    })) << app.output();
  }

  // The windows the extension lists, by app id (one each here).
  std::map<std::string, nlohmann::json> windows() {
    std::map<std::string, nlohmann::json> out;
    if (auto list = query_->listWindows()) {
      for (const auto& window : list.value()) out[window.value("app", "")] = window;
    }
    return out;
  }
  std::string idOf(const std::string& app) { return windows()[app].value("id", ""); }

  // Until `done` holds for the windows, read again at each of the extension's signals.
  bool waitFor(const std::function<bool(const std::map<std::string, nlohmann::json>&)>& done) {
    return testing::pollUntil(
        query_->fileDescriptor(), [] { return true; },
        [&] { return query_->dispatch() && done(windows()); });
  }

  std::string systemAddress_, sessionAddress_;
  std::unique_ptr<ChildProcess> system_, session_, shell_;
  std::shared_ptr<GnomeShell> query_;
};

TEST_F(GnomeDesktop, HidesTheUnusedKeepsTheActiveAndBringsEveryWindowBack) {
  checkHidesAndBringsBack();
}

// Finished closes a new stage and brings everything back too (beta, just used, stays).
TEST_F(GnomeDesktop, TheApplicationStagesShieldsAndShows) {
  checkStagesShieldsAndShows("gnome");
  auto& app = *app_;
  ASSERT_EQ(app.command({"start"}).status, 0);
  EXPECT_TRUE(away().at(kGamma));
  ASSERT_EQ(app.command({"done"}).status, 0);
  EXPECT_EQ(away(), kAllBack);
  EXPECT_TRUE(app.statusJson()["stage"].is_null()) << app.statusJson();
  EXPECT_EQ(app.terminate(), 0);
}

// The bee is in the top bar in the tray's picture, placed by the top bar, and a click on
// it opens the card; the shortcuts are grabbed through the extension, and pressing the
// capture shortcut's keys opens the capture panel; Mutter counts the idle time; when the
// application dies, the bee and the shortcuts go. The remote session that clicks and
// types begins before the application: its indicator in the top bar would move the bee.
TEST_F(GnomeDesktop, TheBeeTheShortcutsAndIdleTimeGoThroughTheShell) {
  EXPECT_GE(surface()->humanIdleSeconds(), 0.0);
  RemoteInput input;
  ASSERT_TRUE(input) << "no remote desktop session";
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

  // Each opens a new window of ours: the card, then the capture panel.
  const auto ownWindows = [&] {
    std::set<std::string> ids;
    const auto list = query_->listWindows();
    for (const auto& window : list ? list.value() : nlohmann::json::array()) {
      if (window.value("app", "") == GnomePlatform::kOwnAppId) ids.insert(window.value("id", ""));
    }
    return ids;
  };
  auto known = ownWindows();
  const auto newOwnWindow = [&] {
    const bool opened = waitFor([&](const auto&) {
      const auto now = ownWindows();
      return !std::includes(known.begin(), known.end(), now.begin(), now.end());
    });
    known = ownWindows();
    return opened;
  };
  ASSERT_TRUE(input.click(bee.value("x", 0.0) + bee.value("width", 0.0) / 2,
                          bee.value("y", 0.0) + bee.value("height", 0.0) / 2));
  ASSERT_TRUE(newOwnWindow()) << "the card";
  // Control_L, Alt_L, Super_L and n.
  ASSERT_TRUE(input.press({0xffe3, 0xffe9, 0xffeb, 0x006e}));
  EXPECT_TRUE(newOwnWindow()) << "the capture panel";


  // A crash takes the shortcuts the Shell holds away too.
  EXPECT_FALSE(query_->accelerators().value().empty());
  app.kill();
  EXPECT_TRUE(waitFor([&](const auto&) {
    return query_->bee().value().value("picture", "?").empty();
  })) << "the bee goes with it";
  EXPECT_TRUE(query_->accelerators().value().empty());
}

TEST_F(GnomeDesktop, AKilledRunLosesNothing) {
  checkCrashRounds();
}

}  // namespace
}  // namespace tervane::gnome
