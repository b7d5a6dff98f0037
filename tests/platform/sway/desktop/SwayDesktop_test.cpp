// The sway backend against a real headless sway 1.7 (no X server), run as an unused user
// as sway refuses root, with foot terminals as the person's windows.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/WaylandDesktopTest.h"
#include "sway/SwayPlatform.h"

namespace tervane::sway {
namespace {

using testing::ChildProcess;
using x11::I3Ipc;
using x11::kScratchpadWorkspace;

std::string byApp(const std::string& app) {
  return "[app_id=\"^" + app + "$\"] ";
}

class SwayDesktop : public testing::WaylandDesktopTest<SwayPlatform> {
 protected:
  void SetUp() override {
    // Sway's runtime folder is its user's; the clients keep one of their own (Firefox will
    // not run as root in another user's) and name sway's display by its path.
    for (const char* folder : {"run", "home", "client-run"}) {
      std::filesystem::create_directories(dir_ / folder);
      std::filesystem::permissions(dir_ / folder, std::filesystem::perms::owner_all);
    }
    std::vector<std::string> sway = {"sway", "-c", (dir_ / "config").string()};
    if (::geteuid() == 0) {
      // Any user without an account will do; it passes through the test's folder.
      constexpr int kUser = 4242;
      std::filesystem::permissions(dir_.path(), std::filesystem::perms::others_exec,
                                   std::filesystem::perm_options::add);
      for (const char* f : {"run", "home"}) ASSERT_EQ(::chown((dir_ / f).c_str(), kUser, kUser), 0);
      sway.insert(sway.begin(), {"setpriv", "--reuid=" + std::to_string(kUser),
                                 "--regid=" + std::to_string(kUser), "--clear-groups"});
    }
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    // Sway runs its exec lines once it serves: the line names its sockets.
    testing::writeText(dir_ / "config",
                       "xwayland disable\nexec sh -c 'echo \"$SWAYSOCK $WAYLAND_DISPLAY\" >&" +
                           std::to_string(fds[1]) + "'\n");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    sway_ = ChildProcess::start(
        sway,
        {"XDG_RUNTIME_DIR=" + (dir_ / "run").string(), "HOME=" + (dir_ / "home").string(),
         "WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"},
        fds[1], (dir_ / "sway.log").string());
    ::close(fds[1]);
    const std::string ready = testing::readLine(fds[0]);
    ::close(fds[0]);
    ASSERT_NE(ready.find(' '), std::string::npos)
        << "sway did not start: " << testing::readText(dir_ / "sway.log");
    socket_ = ready.substr(0, ready.find(' '));
    display_ = (dir_ / "run" / ready.substr(ready.find(' ') + 1)).string();
    env_ = {"XDG_RUNTIME_DIR=" + (dir_ / "client-run").string(), "WAYLAND_DISPLAY=" + display_,
            "SWAYSOCK=" + socket_};
    exportEnvironment();

    query_ = std::make_unique<x11::Scratchpad>(I3Ipc::connect(socket_), x11::WindowKey::container);
    events_ = I3Ipc::connect(socket_);
    ASSERT_TRUE(events_ && events_->listen(nlohmann::json::array({"window"})));
    for (const char* app : {kAlpha, kBeta, kGamma}) launch(app);
    openPlatform();
  }

  void openPlatform() {
    SwayPlatform::Options options;
    options.socketPath = socket_;
    usePlatform(options);
  }


  // A foot window of app id `app`, once sway has it.
  void launch(const std::string& app) override {
    windows_[app] = testing::footWindow(app, env_, (dir_ / (app + ".log")).string());
    EXPECT_TRUE(waitFor([&](const auto& apps) { return apps.count(app) != 0; })) << app;
  }
  void bringForward(const std::string& app, bool sync) override {
    query_->run({byApp(app) + "focus"});
    if (sync) {
      EXPECT_TRUE(waitFor([&](const auto& apps) { return apps.at(app).focused; })) << app;
    }
  }
  bool putAway(const std::string& app) override {
    query_->run({byApp(app) + "move scratchpad"});
    return waitAway(app, true);
  }
  bool waitAway(const std::string& app, bool stowed) override {
    return waitFor([&](const auto& apps) {
      return apps.count(app) != 0 && (apps.at(app).workspace == kScratchpadWorkspace) == stowed;
    });
  }
  Away away() override {
    Away out;
    for (const auto& [app, window] : windows()) {
      if (app != SwayPlatform::kOwnAppId) out[app] = window.workspace == kScratchpadWorkspace;
    }
    return out;
  }
  bool close(const std::string& app) override {
    windows_.at(app)->stop();
    return waitFor([&](const auto& apps) { return apps.count(app) == 0; });
  }
  bool dispatchUntil(const std::function<bool()>& done) override {
    return testing::pollUntil(
        platform_->fileDescriptor(), [&] { return platform_->dispatch(); }, done);
  }
  // This application's window, full screen and focused.
  void expectShield(testing::AppUnderTest& app) override {
    EXPECT_TRUE(waitFor([&](const auto&) {
      const auto flat = query_->tree().value_or(nlohmann::json::object()).flatten();
      for (const auto& [key, value] : flat.items()) {
        const auto node = key.substr(0, key.rfind('/'));
        if (key.ends_with("/pid") && value == app.pid() &&
            flat.value(node + "/fullscreen_mode", 0) == 1 && flat.value(node + "/focused", false)) {
          return true;
        }
      }
      return false;
    })) << app.output();
  }

  // The windows of the tree by app id (one each here).
  std::map<std::string, x11::TreeWindow> windows() {
    std::map<std::string, x11::TreeWindow> out;
    for (const auto& [container, window] : tree()) out[window.app] = window;
    return out;
  }
  std::map<std::int64_t, x11::TreeWindow> tree() {
    return query_->read().value_or(std::map<std::int64_t, x11::TreeWindow>{});
  }

  // Until `done` holds for the windows, each window event read again; within 20 seconds.
  bool waitFor(const std::function<bool(const std::map<std::string, x11::TreeWindow>&)>& done) {
    return testing::pollUntil(
        events_->fileDescriptor(),
        [&] { return events_->readEvents([](std::uint32_t, const nlohmann::json&) {}); },
        [&] { return done(windows()); });
  }

  // The apps of `workspace` in tiling order, then those that float there (but for the
  // application's own panels, which float on every workspace).
  std::vector<std::string> layout(const std::string& workspace) {
    const auto all = tree();
    std::vector<std::string> tiled, floating;
    for (const auto& [container, window] : all) {
      if (window.workspace != workspace) continue;
      if (window.floating && window.app != SwayPlatform::kOwnAppId) floating.push_back(window.app);
      if (!window.floating && tiled.empty()) {
        for (const auto sibling : window.siblings) tiled.push_back(all.at(sibling).app);
      }
    }
    tiled.insert(tiled.end(), floating.begin(), floating.end());
    return tiled;
  }

  std::unique_ptr<ChildProcess> sway_;
  std::string socket_, display_;
  std::unique_ptr<x11::Scratchpad> query_;
  std::unique_ptr<I3Ipc> events_;
};

// Applications go to the scratchpad and come back to their workspace and place in the
// tiling, floating ones floating, in any order, also one the person showed from there
// meanwhile; what the person put in the scratchpad stays there.
TEST_F(SwayDesktop, WindowsGoToTheScratchpadAndComeBackToTheirPlaces) {
  for (const char* app : {"org.example.delta", "org.example.epsilon", "org.example.zeta"}) {
    launch(app);
  }
  query_->run({byApp("org.example.delta") + "floating enable",
               byApp("org.example.epsilon") + "move container to workspace 2"});
  ASSERT_TRUE(putAway("org.example.zeta"));
  const std::vector<std::string> before = {kAlpha, kBeta, kGamma, "org.example.delta"};
  ASSERT_EQ(layout("1"), before);

  auto apps = surface();
  checkActivation(*apps, 6);

  const std::vector<std::string> stowed = {kBeta, "org.example.delta", "org.example.epsilon",
                                           kGamma};
  for (const auto& app : stowed) EXPECT_TRUE(apps->hide(app)) << app;
  EXPECT_EQ(layout("1"), std::vector<std::string>{kAlpha});
  EXPECT_FALSE(apps->hide(kBeta)) << "nothing was left to put away";
  EXPECT_FALSE(apps->hide("org.example.zeta")) << "the person's own are in the scratchpad";
  EXPECT_EQ(apps->stillHidden(), stowed);

  // The person shows one from the scratchpad, where it floats; it goes back to its place
  // with the others, which another run brings back in another order.
  query_->run({byApp(kBeta) + "scratchpad show"});
  ASSERT_TRUE(waitAway(kBeta, false));
  openPlatform();
  apps = surface();
  for (const char* app :
       {kGamma, "org.example.epsilon", "org.example.delta", kBeta, "org.example.zeta"}) {
    EXPECT_TRUE(apps->unhide(app)) << app;
  }
  EXPECT_EQ(layout("1"), before);
  EXPECT_EQ(layout("2"), std::vector<std::string>{"org.example.epsilon"});
  EXPECT_TRUE(away().at("org.example.zeta"));
  EXPECT_TRUE(apps->stillHidden().empty());
  checkClosedWhileHidden(*apps, kBeta);
}

// Show everything puts every window back in its place in the tiling.
TEST_F(SwayDesktop, TheApplicationStagesShieldsAndShows) {
  const auto before = layout("1");
  checkStagesShieldsAndShows("sway");
  EXPECT_EQ(layout("1"), before);
  EXPECT_EQ(app_->terminate(), 0);
}

TEST_F(SwayDesktop, AKilledRunLosesNothing) {
  checkCrashRounds();
}

// A key typed through the virtual keyboard resets the idle time (sway's KDE idle protocol
// simulates activity only for its own caller).
TEST_F(SwayDesktop, IdleTimeGoesUpAndResets) {
  testing::checkIdleTimeGoesUpAndResets([&] {
    EXPECT_EQ(ChildProcess::start({"wtype", "a"}, env_)->wait(20), 0);
  });
}

class SwayBrowserTest : public SwayDesktop,
                        public ::testing::WithParamInterface<testing::WaylandBrowser> {};

// Without its companion the browser is seen and moved by its windows in sway's tree.
TEST_P(SwayBrowserTest, IsMovedByItsWindows) {
  const std::string app = bundleId(GetParam().kind);
  const auto browser = [&](const std::function<bool(const x11::TreeWindow&)>& match) {
    const auto all = tree();
    return std::any_of(all.begin(), all.end(), [&](const auto& entry) {
      return appOf(entry.second) == app && match(entry.second);
    });
  };
  checkBrowser(
      GetParam(),
      [&] { return !browser([](const auto& w) { return w.workspace != kScratchpadWorkspace; }); },
      [&](const std::string& title, bool present) {
        return waitFor([&](const auto&) {
          return browser([&](const auto& w) { return w.title.starts_with(title); }) == present;
        });
      },
      false);
}

INSTANTIATE_TEST_SUITE_P(Debian, SwayBrowserTest, ::testing::ValuesIn(testing::kWaylandBrowsers),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tervane::sway
