// The KWin, sway and GNOME suites' common fixture and the scenarios each runs on its own
// desktop. "Away" is minimized on KWin and GNOME, in the scratchpad on sway.
#pragma once

#include <poll.h>

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "kwin/WaylandIdle.h"
#include "stage/ActivationLog.h"
#include "support/AppUnderTest.h"
#include "support/BrowserWindowsCheck.h"
#include "support/CrashRounds.h"
#include "surfaces/AppSurfacing.h"

namespace tervane::testing {

// Until `done`, calling `handle` (false once its source is gone) each time `fd` is
// readable; within `seconds`. Whether `done`.
inline bool pollUntil(int fd, const std::function<bool()>& handle,
                      const std::function<bool()>& done, int seconds = 20) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 || !handle()) {
      return false;
    }
  }
  return true;
}

// Handles the messages of `bus` until `done`, within 30 seconds; whether `done`.
inline bool processUntil(sd_bus* bus, const std::function<bool()>& done) {
  const auto processed = [&] {
    while (sd_bus_process(bus, nullptr) > 0) {
    }
    return done();
  };
  return pollUntil(sd_bus_get_fd(bus), [] { return true; }, processed, 30);
}

// Idle time goes up while nobody touches anything, and `pressKey` resets it.
inline void checkIdleTimeGoesUpAndResets(const std::function<void()>& pressKey) {
  auto connected = kwin::WaylandIdle::connect(std::chrono::milliseconds(200));
  ASSERT_TRUE(connected);
  kwin::WaylandIdle& idle = *connected.value();
  const auto waitFor = [&](bool idled) {
    return pollUntil(
        idle.fileDescriptor(), [&] { return idle.dispatch(); },
        [&] { return idle.isIdle() == idled; });
  };
  ASSERT_TRUE(waitFor(true));
  EXPECT_GE(idle.idleSeconds(), 0.2);
  pressKey();
  EXPECT_TRUE(waitFor(false));
  EXPECT_EQ(idle.idleSeconds(), 0.0);
}

template <class Platform>
class WaylandDesktopTest : public ::testing::Test {
 protected:
  static constexpr const char* kAlpha = "org.example.alpha";
  static constexpr const char* kBeta = "org.example.beta";
  static constexpr const char* kGamma = "org.example.gamma";
  using Away = std::map<std::string, bool>;
  static inline const Away kStaged = {{kAlpha, false}, {kBeta, true}, {kGamma, true}};
  static inline const Away kAllBack = {{kAlpha, false}, {kBeta, false}, {kGamma, false}};

  // A window of `app`, once the desktop has it.
  virtual void launch(const std::string& app) = 0;
  // The person brings `app` forward; `sync` waits until it is in front.
  virtual void bringForward(const std::string& app, bool sync) = 0;
  // The person puts `app` away; true once it is.
  virtual bool putAway(const std::string& app) = 0;
  // True once `app` is away (or not), within a bound.
  virtual bool waitAway(const std::string& app, bool away) = 0;
  // The person's applications, each with whether it is away now.
  virtual Away away() = 0;
  // Closes the window of `app`; true once the desktop no longer has it.
  virtual bool close(const std::string& app) = 0;
  // Handles the platform's events until `done`, within a bound.
  virtual bool dispatchUntil(const std::function<bool()>& done) = 0;
  // Checks that the guard's shield, a window of `app`, is up over the screen.
  virtual void expectShield(AppUnderTest& app) = 0;

  // Makes `env_` this process's environment too (copied: `env_` ends with the test).
  void exportEnvironment() {
    for (const auto& entry : env_) {
      const auto eq = entry.find('=');
      ::setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
  }

  // The platform under test, opened with `options`.
  void usePlatform(const typename Platform::Options& options) {
    auto platform = Platform::open(options);
    ASSERT_TRUE(platform) << platform.error().message;
    platform_ = platform.value();
  }

  // A home and a runtime folder of the test's own, as the variables that name them.
  std::vector<std::string> privateHome() {
    for (const char* folder : {"run", "home"}) {
      std::filesystem::create_directories(dir_ / folder);
      std::filesystem::permissions(dir_ / folder, std::filesystem::perms::owner_all);
    }
    const std::string home = (dir_ / "home").string();
    return {"XDG_RUNTIME_DIR=" + (dir_ / "run").string(), "HOME=" + home,
            "XDG_CONFIG_HOME=" + home + "/.config", "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CACHE_HOME=" + home + "/.cache"};
  }
  // The application on this desktop, named by the variables this process was given (the
  // display by its path); its panels stay off screen unless `onScreen`.
  AppUnderTest& makeApp(bool onScreen = false) {
    const char* qpa = onScreen ? "QT_QPA_PLATFORM=wayland" : "QT_QPA_PLATFORM=offscreen";
    app_ = std::make_unique<AppUnderTest>(std::vector<std::string>{qpa}, TERVANE_NOW_TOOL);
    return *app_;
  }
  std::shared_ptr<AppSurfacing> surface() {
    return platform_->appSurface(
        std::make_shared<ActivationLog>(defaults_, clock_, *platform_->activationSource()));
  }

  // Opens windows "first" and "second" of `browser` and checks that the desktop moves it by
  // its windows; `waitWindow(title, present)` waits for a window of it titled so, or none.
  void checkBrowser(const WaylandBrowser& browser, const std::function<bool()>& allAway,
                    const std::function<bool(const std::string&, bool)>& waitWindow,
                    bool keepsOrderWhileAway = true) {
    const auto open = [&](const std::string& page) {
      auto process = browser.open(dir_.path(), page, env_);
      EXPECT_TRUE(waitWindow(page + " ", true)) << WaylandBrowser::log(dir_.path(), page);
      return process;
    };
    auto first = open("first");
    auto second = open("second");
    const auto closeSecond = [&] { second.reset(); return waitWindow("second ", false); };
    checkBrowserMovedByItsWindows({browser.kind, surface().get(), platform_->browserSurface().get(),
                                   allAway, closeSecond, keepsOrderWhileAway});
  }

  // Activating alpha comes back as an event naming it and makes it the frontmost.
  void checkActivation(AppSurfacing& apps, std::size_t running) {
    std::vector<std::string> activated;
    auto subscription = platform_->activationSource()->onActivation(
        [&](const std::string& app) { activated.push_back(app); });
    ASSERT_TRUE(apps.activate(kAlpha));
    EXPECT_TRUE(dispatchUntil([&] {
      return std::ranges::count(activated, std::string(kAlpha)) != 0;
    })) << ::testing::PrintToString(activated);
    EXPECT_EQ(platform_->activationSource()->frontmostApplication(), kAlpha);
    const auto all = apps.runningApps();
    EXPECT_EQ(all.size(), running);
    for (const auto& app : all) {
      EXPECT_EQ(app.isFrontmost, app.bundleId == kAlpha) << app.bundleId;
    }
  }

  // An application closed while hidden is not waited for.
  void checkClosedWhileHidden(AppSurfacing& apps, const std::string& app) {
    ASSERT_TRUE(apps.hide(app));
    ASSERT_TRUE(close(app));
    EXPECT_FALSE(apps.unhide(app)) << "the application no longer runs";
    EXPECT_TRUE(apps.stillHidden().empty());
  }

  // Hiding puts beta and gamma away, showing brings them back, but not what the person
  // put away themselves.
  void checkHidesAndBringsBack() {
    auto apps = surface();
    checkActivation(*apps, 3);
    for (const char* app : {kBeta, kGamma}) EXPECT_TRUE(apps->hide(app)) << app;
    EXPECT_EQ(away(), kStaged);
    EXPECT_FALSE(apps->hide(kBeta)) << "nothing was left to put away";
    EXPECT_FALSE(apps->hide("org.example.none"));
    for (const char* app : {kBeta, kGamma}) EXPECT_TRUE(apps->unhide(app)) << app;
    EXPECT_EQ(away(), kAllBack);
    EXPECT_TRUE(apps->stillHidden().empty());

    ASSERT_TRUE(putAway(kGamma));
    EXPECT_FALSE(apps->hide(kGamma));
    EXPECT_TRUE(apps->unhide(kGamma));
    EXPECT_TRUE(away().at(kGamma)) << "the person's own stays away";
    checkClosedWhileHidden(*apps, kBeta);
  }

  // The application itself: Start keeps alpha and puts the others away; the shield rises
  // over one brought forward and "Back to it" puts it away again; Show everything brings
  // them back. The application stays up for the caller.
  void checkStagesShieldsAndShows(const std::string& desktop) {
    bringForward(kAlpha, true);
    platform_.reset();
    auto& app = makeApp(true);
    app.launch();

    ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
    ASSERT_EQ(app.command({"start"}).status, 0);
    EXPECT_EQ(app.statusJson()["desktop"], desktop);
    EXPECT_EQ(app.stowedIds(), (std::set<std::string>{kBeta, kGamma}));
    EXPECT_EQ(away(), kStaged);

    ASSERT_EQ(app.command({"status", "--until", "settled"}).status, 0);
    bringForward(kBeta, false);
    ASSERT_EQ(app.command({"status", "--until", "shield"}).status, 0);
    EXPECT_EQ(app.statusJson()["pendingSubject"]["id"], kBeta);
    expectShield(app);
    ASSERT_EQ(app.command({"answer", "no"}).status, 0);
    EXPECT_TRUE(waitAway(kBeta, true));
    EXPECT_EQ(away(), kStaged);

    ASSERT_EQ(app.command({"show"}).status, 0);
    EXPECT_EQ(away(), kAllBack);
  }

  // The crash rounds: five applications, gamma put away by the person.
  void checkCrashRounds() {
    for (const char* app : {"org.example.delta", "org.example.epsilon"}) launch(app);
    platform_.reset();
    auto& app = makeApp();
    const CrashDesktop crash{{kAlpha, kBeta, kGamma, "org.example.delta", "org.example.epsilon"},
                             {kGamma},
                             [&](const std::string& id, bool sync) { bringForward(id, sync); },
                             [&](const std::string& id, bool away) { return waitAway(id, away); }};
    ASSERT_TRUE(putAway(kGamma));
    runCrashRounds(app, crash);
  }

  TempDir dir_;
  std::vector<std::string> env_;
  std::map<std::string, std::unique_ptr<ChildProcess>> windows_;
  std::shared_ptr<Platform> platform_;
  MemoryDefaults defaults_;
  SystemClock clock_;
  std::unique_ptr<AppUnderTest> app_;
};

}  // namespace tervane::testing
