// The sway backend against a real headless sway 1.7 (no X server), run as an unused user
// as sway refuses root, with foot terminals as the person's windows. Waiting is done on
// sway's own window events, with bounds.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "support/AppUnderTest.h"
#include "support/BrowserWindowsCheck.h"
#include "support/CrashRounds.h"
#include "support/TempDir.h"
#include "support/WaylandIdleCheck.h"
#include "support/XTestDesktop.h"
#include "sway/SwayPlatform.h"

namespace tervane::sway {
namespace {

using testing::ChildProcess;
using x11::I3Ipc;
using x11::kScratchpadWorkspace;

std::string byApp(const std::string& app) {
  return "[app_id=\"^" + app + "$\"] ";
}

class SwayDesktop : public ::testing::Test {
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
      for (const char* folder : {"run", "home"}) {
        ASSERT_EQ(::chown((dir_ / folder).c_str(), kUser, kUser), 0);
      }
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
    for (const auto& entry : env_) ::putenv(const_cast<char*>(entry.c_str()));

    query_ = std::make_unique<x11::Scratchpad>(I3Ipc::connect(socket_), x11::WindowKey::container);
    events_ = I3Ipc::connect(socket_);
    ASSERT_TRUE(events_ && events_->listen(nlohmann::json::array({"window"})));
    for (const char* app : {"org.example.alpha", "org.example.beta", "org.example.gamma"}) {
      launch(app);
    }
    platform_ = openPlatform();
    ASSERT_TRUE(platform_);
  }

  std::shared_ptr<SwayPlatform> openPlatform() {
    SwayPlatform::Options options;
    options.socketPath = socket_;
    auto platform = SwayPlatform::open(options);
    EXPECT_TRUE(platform) << (platform ? "" : platform.error().message);
    return platform ? platform.value() : nullptr;
  }

  // A foot window of app id `app`, once sway has it.
  void launch(const std::string& app) {
    windows_[app] = testing::footWindow(app, env_, (dir_ / (app + ".log")).string());
    EXPECT_TRUE(waitFor([&](const auto& apps) { return apps.count(app) != 0; })) << app;
  }

  // The windows of the tree by app id (one each here).
  std::map<std::string, x11::TreeWindow> windows() {
    std::map<std::string, x11::TreeWindow> out;
    for (const auto& [container, window] :
         query_->read().value_or(std::map<std::int64_t, x11::TreeWindow>{})) {
      out[window.app] = window;
    }
    return out;
  }

  // Until `done` holds for the windows, each window event read again; within 20 seconds.
  bool waitFor(const std::function<bool(const std::map<std::string, x11::TreeWindow>&)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done(windows())) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{events_->fileDescriptor(), POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      if (!events_->readEvents([](std::uint32_t, const nlohmann::json&) {})) return false;
    }
    return true;
  }
  bool waitStowed(const std::string& app, bool stowed) {
    return waitFor([&](const auto& apps) {
      return apps.count(app) != 0 && (apps.at(app).workspace == kScratchpadWorkspace) == stowed;
    });
  }

  // The apps of `workspace` in tiling order, then those that float there (but for the
  // application's own panels, which float on every workspace).
  std::vector<std::string> layout(const std::string& workspace) {
    const auto all = query_->read().value_or(std::map<std::int64_t, x11::TreeWindow>{});
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

  std::shared_ptr<AppSurfacing> surface() {
    return platform_->appSurface(
        std::make_shared<ActivationLog>(defaults_, clock_, *platform_->activationSource()));
  }

  testing::AppUnderTest& makeApp(bool onScreen = false) {
    app_ = std::make_unique<testing::AppUnderTest>(
        std::vector<std::string>{
            "WAYLAND_DISPLAY=" + display_, "SWAYSOCK=" + socket_,
            onScreen ? "QT_QPA_PLATFORM=wayland" : "QT_QPA_PLATFORM=offscreen"},
        TERVANE_NOW_TOOL);
    return *app_;
  }

  testing::TempDir dir_;
  std::unique_ptr<ChildProcess> sway_;
  std::string socket_, display_;
  std::vector<std::string> env_;
  std::unique_ptr<x11::Scratchpad> query_;
  std::unique_ptr<I3Ipc> events_;
  std::map<std::string, std::unique_ptr<ChildProcess>> windows_;
  std::shared_ptr<SwayPlatform> platform_;
  MemoryDefaults defaults_;
  SystemClock clock_;
  std::unique_ptr<testing::AppUnderTest> app_;
};

// Applications go to the scratchpad and come back to their workspace and their place in
// the tiling, floating ones floating, in whichever order, also one the person showed from
// there meanwhile; what the person put in the scratchpad stays there; activations come
// from sway's focus events; a window closed while put away is not waited for.
TEST_F(SwayDesktop, WindowsGoToTheScratchpadAndComeBackToTheirPlaces) {
  for (const char* app : {"org.example.delta", "org.example.epsilon", "org.example.zeta"}) {
    launch(app);
  }
  query_->run({byApp("org.example.delta") + "floating enable",
               byApp("org.example.epsilon") + "move container to workspace 2",
               byApp("org.example.zeta") + "move scratchpad"});
  ASSERT_TRUE(waitStowed("org.example.zeta", true));
  const std::vector<std::string> before = {"org.example.alpha", "org.example.beta",
                                           "org.example.gamma", "org.example.delta"};
  ASSERT_EQ(layout("1"), before);

  auto apps = surface();
  (void)platform_->dispatch();  // what came before
  std::vector<std::string> activated;
  auto subscription = platform_->activationSource()->onActivation(
      [&](const std::string& app) { activated.push_back(app); });
  ASSERT_TRUE(apps->activate("org.example.alpha"));
  for (int events = 0; events < 50 && activated.empty(); ++events) {
    pollfd p{platform_->fileDescriptor(), POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0 || !platform_->dispatch()) break;
  }
  EXPECT_EQ(activated, std::vector<std::string>{"org.example.alpha"});
  EXPECT_EQ(platform_->activationSource()->frontmostApplication(), "org.example.alpha");
  const auto running = apps->runningApps();
  EXPECT_EQ(running.size(), 6u);
  for (const auto& app : running) {
    EXPECT_EQ(app.isFrontmost, app.bundleId == "org.example.alpha") << app.bundleId;
  }

  const std::vector<std::string> away = {"org.example.beta", "org.example.delta",
                                         "org.example.epsilon", "org.example.gamma"};
  for (const auto& app : away) EXPECT_TRUE(apps->hide(app)) << app;
  EXPECT_EQ(layout("1"), std::vector<std::string>{"org.example.alpha"});
  EXPECT_FALSE(apps->hide("org.example.beta")) << "nothing was left to put away";
  EXPECT_FALSE(apps->hide("org.example.zeta")) << "the person's own are in the scratchpad";
  EXPECT_EQ(apps->stillHidden(), away);

  // The person shows one from the scratchpad, where it floats; it goes back to its place
  // with the others, which another run brings back in another order.
  query_->run({byApp("org.example.beta") + "scratchpad show"});
  ASSERT_TRUE(waitStowed("org.example.beta", false));
  platform_ = openPlatform();
  apps = surface();
  for (const char* app : {"org.example.gamma", "org.example.epsilon", "org.example.delta",
                          "org.example.beta", "org.example.zeta"}) {
    EXPECT_TRUE(apps->unhide(app)) << app;
  }
  EXPECT_EQ(layout("1"), before);
  EXPECT_EQ(layout("2"), std::vector<std::string>{"org.example.epsilon"});
  EXPECT_EQ(windows().at("org.example.zeta").workspace, kScratchpadWorkspace);
  EXPECT_TRUE(apps->stillHidden().empty());

  ASSERT_TRUE(apps->hide("org.example.beta"));
  windows_.at("org.example.beta")->stop();
  ASSERT_TRUE(waitFor([](const auto& apps) { return apps.count("org.example.beta") == 0; }));
  EXPECT_FALSE(apps->unhide("org.example.beta")) << "the application no longer runs";
  EXPECT_TRUE(apps->stillHidden().empty());
}

// The application itself, a Wayland client of sway: Start keeps the focused application
// and puts the two unused ones away; the guard raises the shield, full screen, over one
// brought forward, and "Back to it" puts it away again; Show everything brings every
// window back to its place.
TEST_F(SwayDesktop, TheApplicationStagesShieldsAndShows) {
  query_->run({byApp("org.example.alpha") + "focus"});
  platform_.reset();
  const auto before = layout("1");
  auto& app = makeApp(true);
  app.launch();

  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  ASSERT_EQ(app.command({"start"}).status, 0);
  auto status = app.statusJson();
  EXPECT_EQ(status["desktop"], "sway");
  EXPECT_EQ(app.stowedIds(), (std::set<std::string>{"org.example.beta", "org.example.gamma"}));
  EXPECT_EQ(layout("1"), std::vector<std::string>{"org.example.alpha"});

  ASSERT_EQ(app.command({"status", "--until", "settled"}).status, 0);
  query_->run({byApp("org.example.beta") + "focus"});
  ASSERT_EQ(app.command({"status", "--until", "shield"}).status, 0);
  EXPECT_EQ(app.statusJson()["pendingSubject"]["id"], "org.example.beta");
  const std::int64_t pid = app.pid();
  EXPECT_TRUE(waitFor([&](const auto&) {
    const auto tree = query_->tree();
    if (!tree) return false;
    // The shield: this application's window, full screen and focused.
    std::function<bool(const nlohmann::json&)> shield = [&](const nlohmann::json& node) {
      if (node.value("pid", 0) == pid && node.value("fullscreen_mode", 0) == 1 &&
          node.value("focused", false)) {
        return true;
      }
      for (const char* list : {"nodes", "floating_nodes"}) {
        for (const auto& child : node.value(list, nlohmann::json::array())) {
          if (shield(child)) return true;
        }
      }
      return false;
    };
    return shield(*tree);
  })) << app.output();
  ASSERT_EQ(app.command({"answer", "no"}).status, 0);
  EXPECT_TRUE(waitStowed("org.example.beta", true));

  ASSERT_EQ(app.command({"show"}).status, 0);
  EXPECT_EQ(layout("1"), before);
  EXPECT_EQ(app.terminate(), 0);
}

// The crash rounds on sway: five applications, one of them put in the scratchpad by the
// person.
TEST_F(SwayDesktop, AKilledRunLosesNothing) {
  for (const char* app : {"org.example.delta", "org.example.epsilon"}) launch(app);
  platform_.reset();
  auto& app = makeApp();
  testing::CrashDesktop crash;
  crash.apps = {"org.example.alpha", "org.example.beta", "org.example.gamma", "org.example.delta",
                "org.example.epsilon"};
  crash.minimizedByPerson = {"org.example.gamma"};
  crash.activate = [&](const std::string& app, bool sync) {
    query_->run({byApp(app) + "focus"});
    if (sync) {
      EXPECT_TRUE(waitFor([&](const auto& apps) { return apps.at(app).focused; })) << app;
    }
  };
  crash.waitMinimized = [&](const std::string& app, bool minimized) {
    return waitStowed(app, minimized);
  };
  query_->run({byApp("org.example.gamma") + "move scratchpad"});
  ASSERT_TRUE(waitStowed("org.example.gamma", true));
  testing::runCrashRounds(app, crash);
}

// Idle time goes up while nobody touches anything, and resets on a key typed through the
// virtual keyboard (sway's KDE idle protocol simulates activity only for its own caller).
TEST_F(SwayDesktop, IdleTimeGoesUpAndResets) {
  testing::checkIdleTimeGoesUpAndResets([&] {
    EXPECT_EQ(ChildProcess::start({"wtype", "a"}, env_)->wait(20), 0);
  });
}

class SwayBrowserTest : public SwayDesktop,
                        public ::testing::WithParamInterface<testing::WaylandBrowser> {
 protected:
  // The browser's windows whose title starts with `title`.
  std::vector<std::int64_t> browserWindows(const std::string& title) {
    std::vector<std::int64_t> out;
    for (const auto& [container, window] :
         query_->read().value_or(std::map<std::int64_t, x11::TreeWindow>{})) {
      if (appOf(window) == bundleId(GetParam().kind) && window.title.starts_with(title)) {
        out.push_back(container);
      }
    }
    return out;
  }
  // Opens a window of the browser and waits until sway shows the page's title in it.
  std::unique_ptr<ChildProcess> open(const std::string& page) {
    auto browser = GetParam().open(dir_.path(), page, env_);
    EXPECT_TRUE(waitFor([&](const auto&) { return !browserWindows(page + " ").empty(); }))
        << testing::WaylandBrowser::log(dir_.path(), page);
    return browser;
  }
};

// Without its companion the browser is seen and moved by its windows in sway's tree.
TEST_P(SwayBrowserTest, IsMovedByItsWindows) {
  const BrowserKind kind = GetParam().kind;
  auto first = open("first");
  auto second = open("second");
  const auto apps = surface();
  testing::checkBrowserMovedByItsWindows(
      {kind, apps.get(), platform_->browserSurface().get(),
       [&] {
         const auto all = query_->read().value_or(std::map<std::int64_t, x11::TreeWindow>{});
         return std::all_of(all.begin(), all.end(), [&](const auto& entry) {
           return appOf(entry.second) != bundleId(kind) ||
                  entry.second.workspace == kScratchpadWorkspace;
         });
       },
       [&] {
         second.reset();
         return waitFor([&](const auto&) { return browserWindows("second ").empty(); });
       },
       false});
}

INSTANTIATE_TEST_SUITE_P(Debian, SwayBrowserTest, ::testing::ValuesIn(testing::kWaylandBrowsers),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tervane::sway
