// Debian's Chromium and Firefox ESR on the private desktop with throwaway profiles, through
// the companion (Chromium's extension, Firefox's add-on) and its host; Firefox also through
// its X11 windows alone, and both on one stage.
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

struct RealBrowser {
  std::string name;  // as the companion's host names it
  BrowserKind kind;
  std::string windowClass;
  std::string titleSuffix;
};
const RealBrowser kChromium{"chromium", BrowserKind::chrome, "Chromium", " - Chromium"};
const RealBrowser kFirefox{"firefox", BrowserKind::firefox, "firefox-esr",
                           " \u2014 Mozilla Firefox"};

// The browser with two windows: one with the alpha and beta pages, one with the gamma page
// in front. `runtime` is where the companion's host looks for the application's socket.
class BrowserTest : public ::testing::TestWithParam<RealBrowser> {
 protected:
  void openWindows(const std::filesystem::path& runtime, bool companion = true) {
    std::vector<std::string> args;
    if (browser.kind == BrowserKind::firefox) {
      testing::writeFirefoxProfile(desktop, profile.path(), companion);
      args = testing::firefoxArguments(profile.path(), runtime);
    } else {
      args = testing::companionChromiumArguments(profile.path(), runtime, pages);
    }
    auto first = args;
    first.insert(first.end(), {url("alpha", "/one"), url("beta", "/two")});
    desktop.launch(first);
    alpha = xWindow("alpha page");
    // A second start hands the address to the running browser and ends.
    args.insert(args.end(), {"--new-window", url("gamma", "/three")});
    ASSERT_EQ(desktop.run(args, 60), 0);
    gamma = xWindow("gamma page");
  }

  // Chromium maps every *.test host to the page server; Firefox resolves it to loopback.
  std::string url(const std::string& host, const std::string& path) const {
    return browser.kind == BrowserKind::firefox ? testing::firefoxUrl(pages, host + ".test", path)
                                                : "http://" + host + ".test" + path;
  }
  xcb_window_t xWindow(const std::string& title) {
    return testing::browserWindow(desktop, browser.windowClass, title);
  }
  // True once `window` shows the page titled `title` in front.
  bool waitTitle(xcb_window_t window, const std::string& title) {
    return desktop.waitUntil([&] {
      const auto client = desktop.client(window);
      return client && client->title == title + browser.titleSuffix;
    });
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
  // Puts the window with the editor in front, and stages.
  void start(testing::AppUnderTest& app, xcb_window_t front) {
    ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(front)}), 0);
    ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
    const auto started = app.command({"start"});
    ASSERT_EQ(started.status, 0) << started.err;
  }

  const RealBrowser& browser = GetParam();
  testing::XTestDesktop desktop;
  testing::TempDir profile;
  testing::PageServer pages;
  xcb_window_t alpha = 0, gamma = 0;
};

std::string browserName(const ::testing::TestParamInfo<RealBrowser>& info) {
  return info.param.kind == BrowserKind::firefox ? "Firefox" : "Chromium";
}

// The companion socket goes away and comes back as a crashed and relaunched
// application's would; the window ids stay the browser's own.
TEST_P(BrowserTest, TheCompanionShowsRealTabsAndItsWindowsComeBackAfterARestart) {
  testing::TempDir runtime;
  const auto folder = runtime / "tervane-now";
  ASSERT_TRUE(posix::securePrivateFolder(folder).ok());
  std::shared_ptr<companion::CompanionServer> companions =
      companion::CompanionServer::start(folder / companion::kSocketName).value();
  openWindows(runtime.path());
  ASSERT_TRUE(companions->awaitLinks(1, 60)) << "the companion did not connect";
  EXPECT_EQ(companions->links().at(0)->browser(), browser.name);
  EXPECT_EQ(companions->links().at(0)->profile(), profile.path().string());

  auto platform = platformWith(companions);
  auto surface = platform->browserSurface();
  EXPECT_FALSE(surface->seesWindowsOnly(browser.kind));
  auto windows = surface->windows(browser.kind);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  const auto front = windows.value()[0];
  const auto back = windows.value()[1];
  EXPECT_EQ(front.tabs, (std::vector<TabFacts>{{"gamma page", url("gamma", "/three"), true}}));
  ASSERT_EQ(back.tabs.size(), 2u);
  EXPECT_EQ(back.tabs[0], (TabFacts{"alpha page", url("alpha", "/one"), true}));
  EXPECT_EQ(back.tabs[1].host(), "beta.test");

  EXPECT_EQ(surface->minimize({front.windowId, back.windowId}, browser.kind).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_TRUE(desktop.waitIconic(gamma, true));

  // The application goes and a new one starts: the host connects again, and the window
  // ids the first one minimized still name the same windows. (The old platform's lane
  // may hold its server a while yet; a process that ends closes it at once, as stopping
  // it does.)
  companions->stop();
  platform.reset();
  companions = companion::CompanionServer::start(folder / companion::kSocketName).value();
  ASSERT_TRUE(companions->awaitLinks(1, 60)) << "the companion did not come back";
  platform = platformWith(companions);
  surface = platform->browserSurface();
  EXPECT_EQ(surface->restore({front.windowId, back.windowId}, browser.kind).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(desktop.waitIconic(gamma, false));

  // Focusing a tab (as Keep anyway does) activates it and brings its window to the front.
  ASSERT_TRUE(surface->focus(back.windowId, 2, browser.kind).ok());
  EXPECT_TRUE(waitTitle(alpha, "beta page"));
  windows = surface->windows(browser.kind);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  EXPECT_EQ(windows.value()[0].windowId, back.windowId);
  EXPECT_TRUE(windows.value()[0].tabs.at(1).isActive);
  EXPECT_FALSE(windows.value()[0].tabs.at(0).isActive);
}

// The application itself: the preview reads real tabs through it (a preview has no
// companion of its own), a stage minimizes the window behind, the application is killed,
// and after a relaunch Show everything brings the window back.
TEST_P(BrowserTest, AfterACrashShowEverythingBringsBackWhatTheCompanionMinimized) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder());
  const std::vector<std::string> behind{url("alpha", "/one"), url("beta", "/two")};
  const auto previewed = preview(app);
  EXPECT_EQ(stowedUrls(previewed["stage"]), behind) << previewed.dump();
  EXPECT_EQ(previewed["because"].get<std::string>().find("I see only"), std::string::npos);
  start(app, desktop.xterm("Editor"));
  // The front window is kept; the other, named by its real tabs, is minimized. The
  // browsers are staged after the reply to start, and journalled before they move.
  ASSERT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_FALSE(desktop.isIconic(gamma));
  EXPECT_EQ(stowedUrls(app.statusJson()["stage"]), behind);

  app.kill();
  app.launch();
  const auto shown = app.command({"show"});
  EXPECT_EQ(shown.status, 0) << shown.out << app.output();
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_FALSE(desktop.isIconic(gamma));
}

// Keep anyway on a stowed tab brings its window back with that tab in front, and the site
// is remembered: with the other window in front again, only it keeps this one.
TEST_P(BrowserTest, KeepAnywayOnATabBringsItForwardAndTheNextStageKeepsItsSite) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder());
  start(app, desktop.xterm("Editor"));
  ASSERT_TRUE(desktop.waitIconic(alpha, true));

  const auto status = app.statusJson();
  std::string beta;
  for (const auto& item : status["stage"]["stowed"]) {
    if (item.value("url", "") == url("beta", "/two")) beta = item["id"].get<std::string>();
  }
  ASSERT_EQ(beta.rfind(rawValue(browser.kind) + ":", 0), 0u) << status.dump();
  const auto kept = app.command({"keep", beta});
  ASSERT_EQ(kept.status, 0) << kept.out << kept.err;
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(waitTitle(alpha, "beta page")) << "the kept tab is in front";

  ASSERT_EQ(app.command({"done"}).status, 0);
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(gamma)}), 0);
  EXPECT_EQ(stowedUrls(preview(app)["stage"]), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(, BrowserTest, ::testing::Values(kChromium, kFirefox), browserName);

class FirefoxTest : public BrowserTest {};
INSTANTIATE_TEST_SUITE_P(, FirefoxTest, ::testing::Values(kFirefox), browserName);

// Without the companion Firefox is its windows: each one tab named by the window's title,
// no address, moved as windows; the application says once what that means.
TEST_P(FirefoxTest, WithoutTheCompanionItsWindowsAreReadAndMovedAndTheApplicationSaysSo) {
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

// One stage over both browsers, each through its companion: each one's front window stays
// and the other goes; Finished brings back both.
TEST_P(FirefoxTest, OneStageOverChromiumAndFirefox) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder());
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

  start(app, desktop.xterm("Editor"));
  EXPECT_TRUE(desktop.waitIconic(delta, true));
  EXPECT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_FALSE(desktop.isIconic(epsilon));
  EXPECT_FALSE(desktop.isIconic(gamma));
  const auto status = app.statusJson();
  EXPECT_EQ(stowedUrls(status["stage"]),
            (std::vector<std::string>{"http://delta.test/four", url("alpha", "/one"),
                                      url("beta", "/two")}))
      << status.dump();

  ASSERT_EQ(app.command({"done"}).status, 0);
  EXPECT_TRUE(desktop.waitIconic(delta, false));
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
}

}  // namespace
}  // namespace tervane::x11
