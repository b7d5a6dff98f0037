// Debian's Firefox ESR on the private desktop with a throwaway profile: through its X11
// windows alone, and through the companion add-on (installed into the profile) and its
// host, on its own and on one stage with Chromium.
#include <gtest/gtest.h>

#include "companion/CompanionSocket.h"
#include "linux/X11Platform.h"
#include "posix/ControlFolder.h"
#include "support/AppUnderTest.h"
#include "support/RealBrowsers.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::stowedUrls;

// Firefox with two windows: one with the alpha and beta pages, one with the gamma page in
// front. `runtime` is where the companion's host looks for the application's socket.
class FirefoxTest : public ::testing::Test {
 protected:
  void openWindows(const std::filesystem::path& runtime, bool companion) {
    testing::writeFirefoxProfile(desktop, profile.path(), companion);
    auto first = testing::firefoxArguments(profile.path(), runtime);
    auto second = first;
    first.insert(first.end(), {url("alpha", "/one"), url("beta", "/two")});
    desktop.launch(first);
    alpha = xWindow("alpha page");
    // A second start hands the address to the running browser and ends.
    second.insert(second.end(), {"--new-window", url("gamma", "/three")});
    ASSERT_EQ(desktop.run(second, 60), 0);
    gamma = xWindow("gamma page");
  }

  std::string url(const std::string& host, const std::string& path) const {
    return testing::firefoxUrl(pages, host + ".test", path);
  }
  xcb_window_t xWindow(const std::string& title) {
    return testing::browserWindow(desktop, "firefox-esr", title);
  }
  std::unique_ptr<X11Platform> platformWith(
      std::shared_ptr<companion::CompanionServer> companions) {
    X11Platform::Options options;
    options.stateFolder = desktop.home() / "state";
    options.companions = std::move(companions);
    return std::make_unique<X11Platform>(XConnection::open(desktop.display()).value(), options);
  }
  nlohmann::json preview(testing::AppUnderTest& app) {
    const auto run = app.command({"preview", "write the report", "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    return nlohmann::json::parse(run.out, nullptr, false);
  }

  testing::XTestDesktop desktop;
  testing::TempDir profile;
  testing::PageServer pages;
  xcb_window_t alpha = 0, gamma = 0;
};

// Without the companion Firefox is its windows: each one tab named by the window's title,
// no address, moved as windows; the application says once what that means.
TEST_F(FirefoxTest, WithoutTheCompanionItsWindowsAreReadAndMovedAndTheApplicationSaysSo) {
  testing::TempDir runtime;
  openWindows(runtime.path(), false);
  auto platform = platformWith(nullptr);
  auto surface = platform->browserSurface();
  EXPECT_EQ(surface->runningBrowsers(), std::vector<BrowserKind>{BrowserKind::firefox});
  EXPECT_TRUE(surface->seesWindowsOnly(BrowserKind::firefox));
  auto windows = surface->windows(BrowserKind::firefox);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  EXPECT_EQ(windows.value()[0].windowId, gamma);
  EXPECT_EQ(windows.value()[0].tabs, (std::vector<TabFacts>{{"gamma page", "", true}}));
  EXPECT_EQ(windows.value()[1].windowId, alpha);

  EXPECT_EQ(surface->minimize({alpha, gamma}, BrowserKind::firefox).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_TRUE(desktop.waitIconic(gamma, true));
  EXPECT_EQ(surface->restore({alpha, gamma}, BrowserKind::firefox).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(desktop.waitIconic(gamma, false));

  testing::AppUnderTest app(desktop);
  app.launch();
  const xcb_window_t editor = desktop.xterm("Editor");
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(editor)}), 0);
  const auto previewed = preview(app);
  EXPECT_NE(previewed["because"].get<std::string>().find(
                "I see only the windows of Firefox, not its tabs."),
            std::string::npos)
      << previewed.dump();
}

// The companion socket goes away and comes back as a crashed and relaunched
// application's would; the window ids stay the browser's own.
TEST_F(FirefoxTest, TheCompanionShowsRealTabsAndItsWindowsComeBackAfterARestart) {
  testing::TempDir runtime;
  const auto folder = runtime / "tervane-now";
  ASSERT_TRUE(posix::securePrivateFolder(folder).ok());
  std::shared_ptr<companion::CompanionServer> companions =
      companion::CompanionServer::start(folder / companion::kSocketName).value();
  openWindows(runtime.path(), true);
  ASSERT_TRUE(companions->awaitLinks(1, 60)) << "the companion did not connect";
  EXPECT_EQ(companions->links().at(0)->browser(), "firefox");
  EXPECT_EQ(companions->links().at(0)->profile(), profile.path().string());

  auto platform = platformWith(companions);
  auto surface = platform->browserSurface();
  EXPECT_FALSE(surface->seesWindowsOnly(BrowserKind::firefox));
  auto windows = surface->windows(BrowserKind::firefox);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  const auto front = windows.value()[0];
  const auto back = windows.value()[1];
  EXPECT_EQ(front.tabs, (std::vector<TabFacts>{{"gamma page", url("gamma", "/three"), true}}));
  ASSERT_EQ(back.tabs.size(), 2u);
  EXPECT_EQ(back.tabs[0], (TabFacts{"alpha page", url("alpha", "/one"), true}));
  EXPECT_EQ(back.tabs[1].host(), "beta.test");

  EXPECT_EQ(surface->minimize({front.windowId, back.windowId}, BrowserKind::firefox).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_TRUE(desktop.waitIconic(gamma, true));

  companions->stop();
  platform.reset();
  companions = companion::CompanionServer::start(folder / companion::kSocketName).value();
  ASSERT_TRUE(companions->awaitLinks(1, 60)) << "the companion did not come back";
  platform = platformWith(companions);
  surface = platform->browserSurface();
  EXPECT_EQ(surface->restore({front.windowId, back.windowId}, BrowserKind::firefox).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(desktop.waitIconic(gamma, false));

  // Focusing a tab (as Keep anyway does) activates it and brings its window to the front.
  ASSERT_TRUE(surface->focus(back.windowId, 2, BrowserKind::firefox).ok());
  EXPECT_TRUE(desktop.waitUntil([&] {
    const auto window = desktop.client(alpha);
    return window && window->title == "beta page \u2014 Mozilla Firefox";
  }));
  windows = surface->windows(BrowserKind::firefox);
  ASSERT_TRUE(windows.ok()) << windows.error();
  EXPECT_EQ(windows.value().at(0).windowId, back.windowId);
}

// The application itself: the preview reads real tabs through it, a stage minimizes the
// window behind, the application is killed, and after a relaunch Show everything brings
// the window back.
TEST_F(FirefoxTest, AfterACrashShowEverythingBringsBackWhatTheCompanionMinimized) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder(), true);
  // While Firefox is in use, the preview reads its tabs through the running application:
  // the window behind would go.
  const auto previewed = preview(app);
  EXPECT_EQ(stowedUrls(previewed["stage"]),
            (std::vector<std::string>{url("alpha", "/one"), url("beta", "/two")}))
      << previewed.dump();
  EXPECT_EQ(previewed["because"].get<std::string>().find("I see only"), std::string::npos);
  const xcb_window_t editor = desktop.xterm("Editor");
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(editor)}), 0);
  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  ASSERT_EQ(app.command({"start"}).status, 0);
  ASSERT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_FALSE(desktop.isIconic(gamma));
  EXPECT_EQ(stowedUrls(app.statusJson()["stage"]),
            (std::vector<std::string>{url("alpha", "/one"), url("beta", "/two")}));

  app.kill();
  app.launch();
  const auto shown = app.command({"show"});
  EXPECT_EQ(shown.status, 0) << shown.out << app.output();
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_FALSE(desktop.isIconic(gamma));
}

// One stage over both browsers, each through its companion: each one's front window
// stays and the other goes; Keep anyway on a Firefox tab brings its window back with that
// tab in front and remembers its site, so the next stage keeps that window; Finished
// brings back what is left of both.
TEST_F(FirefoxTest, OneStageOverChromiumAndFirefoxAndKeepAnywayOnATab) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder(), true);
  testing::TempDir chromiumProfile;
  auto chromium =
      testing::companionChromiumArguments(chromiumProfile.path(), app.runtimeFolder(), pages);
  auto first = chromium;
  first.push_back("http://delta.test/four");
  desktop.launch(first);
  const xcb_window_t delta = testing::browserWindow(desktop, "Chromium", "delta page");
  chromium.insert(chromium.end(), {"--new-window", "http://epsilon.test/five"});
  ASSERT_EQ(desktop.run(chromium, 60), 0);
  const xcb_window_t epsilon = testing::browserWindow(desktop, "Chromium", "epsilon page");

  const xcb_window_t editor = desktop.xterm("Editor");
  // Chromium's window behind goes each time; once it has, the browser pass is joined.
  const auto stage = [&](xcb_window_t front, xcb_window_t away, xcb_window_t stays) {
    EXPECT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(front)}), 0);
    EXPECT_EQ(app.command({"capture", "write the report"}).status, 0);
    EXPECT_EQ(app.command({"start"}).status, 0);
    EXPECT_TRUE(desktop.waitIconic(away, true));
    EXPECT_FALSE(desktop.isIconic(stays));
    EXPECT_FALSE(desktop.isIconic(gamma));
    return app.statusJson();
  };
  auto status = stage(editor, delta, epsilon);
  EXPECT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_EQ(stowedUrls(status["stage"]),
            (std::vector<std::string>{"http://delta.test/four", url("alpha", "/one"),
                                      url("beta", "/two")}))
      << status.dump();
  std::string beta;
  for (const auto& item : status["stage"]["stowed"]) {
    if (item.value("url", "") == url("beta", "/two")) beta = item["id"].get<std::string>();
  }
  ASSERT_EQ(beta.rfind("firefox:", 0), 0u) << status.dump();
  const auto kept = app.command({"keep", beta});
  ASSERT_EQ(kept.status, 0) << kept.out << kept.err;
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(desktop.waitUntil([&] {
    const auto window = desktop.client(alpha);
    return window && window->title == "beta page \u2014 Mozilla Firefox";
  })) << "the kept tab is in front";

  ASSERT_EQ(app.command({"done"}).status, 0);
  EXPECT_TRUE(desktop.waitIconic(delta, false));
  // Brought back, delta is Chromium's front window now. With the other Firefox window in
  // front, only the remembered site keeps this one.
  status = stage(gamma, epsilon, delta);
  EXPECT_EQ(stowedUrls(status["stage"]), std::vector<std::string>{"http://epsilon.test/five"})
      << status.dump();
  EXPECT_FALSE(desktop.isIconic(alpha));
}

}  // namespace
}  // namespace tervane::x11
