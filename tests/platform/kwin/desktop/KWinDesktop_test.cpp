// The KWin backend against a real headless KWin 5.27 (kwin_wayland --virtual, no X
// server) on a private session bus, with three Qt Wayland windows of distinct app ids.
// Waiting is done on KWin's own signals through one-off scripts, with bounds.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "kwin/KWinPlatform.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::kwin {
namespace {

using testing::ChildProcess;

const std::vector<std::string> kApps = {"org.example.alpha", "org.example.beta",
                                        "org.example.gamma"};

// Replies once no window of `app` is left.
std::string untilClosed(const std::string& app) {
  return "var app = " + nlohmann::json(app).dump() + R"JS(;
function has(except) {
  var all = windowsNow();
  for (var i = 0; i < all.length; ++i)
    if (all[i] !== except && isApp(all[i]) && appOf(all[i]) === app) return true;
  return false;
}
if (!has(null)) reply(true);
else (workspace.windowRemoved || workspace.clientRemoved).connect(function (w) { if (!has(w)) reply(true); });
)JS";
}

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
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    bus_ = ChildProcess::start(
        {"dbus-daemon", "--session", "--nofork", "--print-address=" + std::to_string(fds[1])}, {},
        fds[1]);
    ::close(fds[1]);
    std::string address = readLine(fds[0]);
    ::close(fds[0]);
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
        {(dir_ / "bin" / "kwin_wayland").string(), "--virtual", "--no-lockscreen",
         "--no-global-shortcuts", "--socket", "wl-tervane", "--width", "1280", "--height", "800"},
        env_, -1, (dir_ / "kwin.log").string());
    auto waitKWin = ChildProcess::start(
        {"gdbus", "wait", "--session", "--timeout", "20", "org.kde.KWin"}, env_);
    ASSERT_EQ(waitKWin->wait(25), 0) << "KWin did not come up";

    // A window shown means KWin's main loop runs, and with it the scripting service.
    for (const auto& app : kApps) launch(app);
    platform_ = openPlatform();
    ASSERT_TRUE(platform_);
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

  bool waitUntilClosed(const std::string& app) {
    auto answer = platform_->bus()->runOnce(untilClosed(app), std::chrono::seconds(20));
    return answer && answer.value() == true;
  }

  static std::string readLine(int fd) {
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

  // What KWin says now: app id to whether its window is minimized.
  std::map<std::string, bool> minimized() {
    std::map<std::string, bool> out;
    auto answer = platform_->bus()->runOnce(R"JS(
var out = {}, all = windowsNow();
for (var i = 0; i < all.length; ++i) if (isApp(all[i])) out[appOf(all[i])] = all[i].minimized;
reply(out);
)JS");
    if (answer) {
      for (const auto& [app, value] : answer.value().items()) out[app] = value.get<bool>();
    }
    return out;
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
};

// Start: the active application stays, the two unused ones are minimized and read back so;
// Show everything: every window is back; activation events name the application.
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
}

// A window the person minimized is not the stage's to bring back.
TEST_F(KWinDesktop, BringsBackOnlyWhatItMinimized) {
  auto apps = surface(platform_);
  ASSERT_TRUE(platform_->bus()->runOnce(R"JS(
var all = windowsNow();
for (var i = 0; i < all.length; ++i) if (appOf(all[i]) === "org.example.gamma") all[i].minimized = true;
reply(true);
)JS"));
  EXPECT_FALSE(apps->hide("org.example.gamma"));
  EXPECT_TRUE(apps->unhide("org.example.gamma"));
  EXPECT_TRUE(minimized().at("org.example.gamma"));
}

// The program is killed with everything put away; the next run replaces its stale script
// and brings every window back from the record beside the journal.
TEST_F(KWinDesktop, KilledMidStageTheNextRunBringsEverythingBack) {
  platform_.reset();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto platform = openPlatform();
    bool hid = platform && surface(platform)->hide("org.example.beta") &&
               surface(platform)->hide("org.example.gamma");
    if (hid) ::kill(::getpid(), SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child did not hide both";

  platform_ = openPlatform();
  ASSERT_TRUE(platform_);
  auto apps = surface(platform_);
  EXPECT_EQ(apps->stillHidden(),
            (std::vector<std::string>{"org.example.beta", "org.example.gamma"}));
  EXPECT_TRUE(minimized().at("org.example.beta"));
  for (const auto& app : {"org.example.beta", "org.example.gamma"}) EXPECT_TRUE(apps->unhide(app));
  for (const auto& [app, isMinimized] : minimized()) EXPECT_FALSE(isMinimized) << app;
  EXPECT_TRUE(apps->stillHidden().empty());
}

// A window closed while hidden leaves the record; the bring-back is complete without it.
TEST_F(KWinDesktop, AWindowClosedWhileHiddenIsNotWaitedFor) {
  auto apps = surface(platform_);
  ASSERT_TRUE(apps->hide("org.example.beta"));
  windows_.at("org.example.beta")->stop();
  ASSERT_TRUE(waitUntilClosed("org.example.beta"));
  EXPECT_FALSE(apps->unhide("org.example.beta")) << "the application no longer runs";
  EXPECT_TRUE(apps->stillHidden().empty());
}

}  // namespace
}  // namespace tervane::kwin
