// Debian's Chromium on the private desktop, read and moved through the browser surface,
// the permission check, the runner, the lane and the script engine: through its X11
// windows, and through the companion extension and its host.
#include <gtest/gtest.h>

#include <algorithm>

#include "companion/CompanionSocket.h"
#include "linux/X11Platform.h"
#include "posix/ControlFolder.h"
#include "support/AppUnderTest.h"
#include "support/RealBrowsers.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"
#include "surfaces/BrowserAdapters.h"

namespace tervane::x11 {
namespace {

using testing::chromiumArguments;
using testing::XTestDesktop;

// A page whose title is `title` (spaces written as %20 in the address).
std::string page(std::string title) {
  for (std::size_t at = title.find(' '); at != std::string::npos; at = title.find(' ')) {
    title.replace(at, 1, "%20");
  }
  return "data:text/html,<title>" + title + "</title>";
}

class ChromiumTest : public ::testing::Test {
 protected:
  // Opens a window on a page with this title and gives the window once its title shows.
  xcb_window_t openWindow(const std::string& title, bool first) {
    auto args = chromiumArguments(profile.path());
    if (first) {
      args.push_back(page(title));
      desktop.launch(args);
    } else {
      // A second start hands the page to the running browser and ends.
      args.push_back("--new-window");
      args.push_back(page(title));
      EXPECT_EQ(desktop.run(args, 60), 0);
    }
    return testing::browserWindow(desktop, "Chromium", title);
  }

  // Runs tervane-script against this desktop; its exit status and output.
  std::pair<int, std::string> runTool(const std::string& app, const std::string& script) {
    testing::writeText(profile / "script.txt", script);
    const int status = desktop.run({"sh", "-c",
                                    std::string("exec '") + TERVANE_SCRIPT_TOOL + "' --app '" +
                                        app + "' < script.txt > reply.json",
                                    "tool"},
                                   30, profile.path());
    return {status, testing::readText(profile / "reply.json")};
  }

  XTestDesktop desktop;
  testing::TempDir profile;
};

TEST_F(ChromiumTest, WindowsAreReadMinimizedRestoredAndRaisedThroughTheBrowserSurface) {
  const xcb_window_t alpha = openWindow("Alpha page", true);
  const xcb_window_t beta = openWindow("Beta page", false);
  ASSERT_TRUE(desktop.waitActive(beta));

  auto connection = XConnection::open(desktop.display()).value();
  X11Platform::Options options;
  options.stateFolder = desktop.home() / "state";
  X11Platform platform(connection, options);
  auto surface = platform.browserSurface();
  EXPECT_EQ(surface->runningBrowsers(), std::vector<BrowserKind>{BrowserKind::chrome});
  EXPECT_EQ(surface->authorization(BrowserKind::chrome), BrowserAuthorization::allowed());
  EXPECT_TRUE(surface->seesWindowsOnly(BrowserKind::chrome)) << "no companion socket";

  auto windows = surface->windows(BrowserKind::chrome);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  EXPECT_EQ(windows.value()[0].windowId, beta);
  EXPECT_TRUE(windows.value()[0].isFrontmost);
  EXPECT_EQ(windows.value()[0].tabs, (std::vector<TabFacts>{{"Beta page", "", true}}));
  EXPECT_EQ(windows.value()[1].windowId, alpha);
  EXPECT_EQ(windows.value()[1].tabs, (std::vector<TabFacts>{{"Alpha page", "", true}}));

  // The diagnostic tool reads the same from the live desktop.
  const auto [status, reply] =
      runTool("Google Chrome", ChromiumAdapter(BrowserKind::chrome).readScript());
  EXPECT_EQ(status, 0) << reply;
  EXPECT_EQ(nlohmann::json::parse(reply, nullptr, false),
            nlohmann::json::parse("[[" + std::to_string(beta) + "," + std::to_string(alpha) +
                                  "],[false,false],[1,1],[\"Beta page\",\"Alpha page\"],"
                                  "[\"\",\"\"],[true,true]]"));
  const auto safari = runTool("Safari", "tell application \"Safari\"\n    return 1\nend tell");
  EXPECT_EQ(safari.first, 1);
  EXPECT_EQ(nlohmann::json::parse(safari.second, nullptr, false)["error"], -600);

  auto minimized = surface->minimize({alpha, beta}, BrowserKind::chrome);
  ASSERT_TRUE(minimized.ok()) << minimized.error();
  EXPECT_EQ(minimized.value(), 2);
  ASSERT_TRUE(desktop.waitIconic(alpha, true));
  ASSERT_TRUE(desktop.waitIconic(beta, true));
  windows = surface->windows(BrowserKind::chrome);
  ASSERT_TRUE(windows.ok());
  for (const auto& w : windows.value()) EXPECT_TRUE(w.isMinimized) << w.windowId;

  EXPECT_EQ(surface->restore({alpha}, BrowserKind::chrome).value(), 1);
  ASSERT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(desktop.isIconic(beta));
  EXPECT_EQ(surface->restore({beta}, BrowserKind::chrome).value(), 1);
  ASSERT_TRUE(desktop.waitIconic(beta, false));

  // A preview, with no application to ask, reads the windows alone and says so.
  ASSERT_EQ(desktop.run({"xdotool", "mousemove", "40", "40"}), 0);
  ASSERT_EQ(
      desktop.run({"sh", "-c",
                   "HOME=\"$PWD\" XDG_RUNTIME_DIR=\"$PWD\" exec '" + std::string(TERVANE_NOW_TOOL) +
                       "' preview 'write the report' --json > preview.json",
                   "preview"},
                  60, profile.path()),
      0);
  const auto preview = nlohmann::json::parse(testing::readText(profile / "preview.json"));
  EXPECT_NE(preview["because"].get<std::string>().find("I see only the windows of Chrome"),
            std::string::npos)
      << preview.dump();

  // Raising a window that is not on top leaves the focus where it is.
  requestActivation(desktop.x(), beta);
  desktop.x().flush();
  ASSERT_TRUE(desktop.waitActive(beta));
  ASSERT_TRUE(desktop.waitUntil([&] { return desktop.stacking().back() == beta; }));
  ASSERT_TRUE(surface->focus(alpha, 1, BrowserKind::chrome).ok());
  EXPECT_TRUE(desktop.waitUntil([&] { return desktop.stacking().back() == alpha; }));
  EXPECT_EQ(desktop.active(), beta);
}

}  // namespace
}  // namespace tervane::x11

namespace tervane::x11 {
namespace {

// Chromium with the companion loaded from the source folder, its host's manifest in the
// throwaway profile, reaching the companion socket under `runtime`; two windows, one with
// the alpha and beta pages, one with the gamma page in front.
class CompanionChromiumTest : public ChromiumTest {
 protected:
  void openWindows(const std::filesystem::path& runtime) {
    auto args = testing::companionChromiumArguments(profile.path(), runtime, pages);
    auto first = args;
    first.insert(first.end(), {"http://alpha.test/one", "http://beta.test/two"});
    desktop.launch(first);
    alpha = xWindow("alpha page");
    args.insert(args.end(), {"--new-window", "http://gamma.test/three"});
    EXPECT_EQ(desktop.run(args, 60), 0);
    gamma = xWindow("gamma page");
  }

  xcb_window_t xWindow(const std::string& title) {
    return testing::browserWindow(desktop, "Chromium", title);
  }

  testing::PageServer pages;
  xcb_window_t alpha = 0, gamma = 0;
};

using testing::stowedUrls;

// The companion socket goes away and comes back as a crashed and relaunched
// application's would.
TEST_F(CompanionChromiumTest, TheCompanionShowsRealTabsAndItsWindowsComeBackAfterARestart) {
  testing::TempDir runtime;
  const auto folder = runtime / "tervane-now";
  ASSERT_TRUE(posix::securePrivateFolder(folder).ok());
  std::shared_ptr<companion::CompanionServer> companions =
      companion::CompanionServer::start(folder / companion::kSocketName).value();
  openWindows(runtime.path());
  ASSERT_TRUE(companions->awaitLinks(1, 60)) << "the companion did not connect";
  EXPECT_EQ(companions->links().at(0)->profile(), profile.path().string());

  auto connection = XConnection::open(desktop.display()).value();
  auto platformWith = [&](std::shared_ptr<companion::CompanionServer> server) {
    X11Platform::Options options;
    options.stateFolder = desktop.home() / "state";
    options.companions = std::move(server);
    return std::make_unique<X11Platform>(connection, options);
  };
  auto platform = platformWith(companions);
  auto surface = platform->browserSurface();
  EXPECT_FALSE(surface->seesWindowsOnly(BrowserKind::chrome)) << "the companion is connected";
  auto windows = surface->windows(BrowserKind::chrome);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  const auto front = windows.value()[0];
  const auto back = windows.value()[1];
  EXPECT_EQ(front.tabs, (std::vector<TabFacts>{{"gamma page", "http://gamma.test/three", true}}));
  ASSERT_EQ(back.tabs.size(), 2u);
  EXPECT_EQ(back.tabs[0], (TabFacts{"alpha page", "http://alpha.test/one", true}));
  EXPECT_EQ(back.tabs[1].host(), "beta.test");

  auto minimized = surface->minimize({front.windowId, back.windowId}, BrowserKind::chrome);
  ASSERT_TRUE(minimized.ok()) << minimized.error();
  EXPECT_EQ(minimized.value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_TRUE(desktop.waitIconic(gamma, true));

  // The application goes and a new one starts: the host connects again, and the window
  // ids the first one minimized still name the same windows.
  // (The old platform's lane may hold its server a while yet; a process that ends closes
  // it at once, as stopping it does.)
  companions->stop();
  platform.reset();
  companions = companion::CompanionServer::start(folder / companion::kSocketName).value();
  ASSERT_TRUE(companions->awaitLinks(1, 30)) << "the companion did not come back";
  platform = platformWith(companions);
  surface = platform->browserSurface();
  EXPECT_EQ(surface->restore({front.windowId, back.windowId}, BrowserKind::chrome).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(desktop.waitIconic(gamma, false));

  // Focusing a tab (as Keep anyway does) activates it and brings its window to the front.
  ASSERT_TRUE(surface->focus(back.windowId, 2, BrowserKind::chrome).ok());
  windows = surface->windows(BrowserKind::chrome);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  EXPECT_EQ(windows.value()[0].windowId, back.windowId);
  EXPECT_TRUE(windows.value()[0].tabs.at(1).isActive);
  EXPECT_FALSE(windows.value()[0].tabs.at(0).isActive);
}

// The application itself: a stage minimizes a browser window through the companion, the
// application is killed, and after a relaunch Show everything brings it back.
TEST_F(CompanionChromiumTest, AfterACrashShowEverythingBringsBackWhatTheCompanionMinimized) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder());
  // While the browser is in use, a preview reads its tabs through the running application
  // (a preview has no companion of its own): the window behind would go.
  const auto preview = app.command({"preview", "write the report", "--json"});
  ASSERT_EQ(preview.status, 0) << preview.err;
  const auto previewed = nlohmann::json::parse(preview.out);
  EXPECT_EQ(stowedUrls(previewed["stage"]),
            (std::vector<std::string>{"http://alpha.test/one", "http://beta.test/two"}))
      << preview.out;
  EXPECT_EQ(previewed["because"].get<std::string>().find("I see only"), std::string::npos);
  const xcb_window_t editor = desktop.xterm("Editor");
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(editor)}), 0);
  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  const auto started = app.command({"start"});
  ASSERT_EQ(started.status, 0) << started.err;
  // The browser's front window is kept; the other, named by its real tabs, is minimized.
  // The browsers are staged after the reply to start, and journalled before they move.
  EXPECT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_FALSE(desktop.isIconic(gamma));
  const auto stage = app.statusJson()["stage"];
  EXPECT_EQ(stowedUrls(stage),
            (std::vector<std::string>{"http://alpha.test/one", "http://beta.test/two"}))
      << stage.dump();

  app.kill();
  app.launch();
  const auto shown = app.command({"show"});
  EXPECT_EQ(shown.status, 0) << shown.out << app.output();
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_FALSE(desktop.isIconic(gamma));
}

// Keep anyway on a stowed tab brings its window back with that tab in front, and the site
// is remembered: the next stage would keep the window that holds it.
TEST_F(CompanionChromiumTest, KeepAnywayOnATabBringsItForwardAndTheNextStageKeepsItsSite) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder());
  const xcb_window_t editor = desktop.xterm("Editor");
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(editor)}), 0);
  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  ASSERT_EQ(app.command({"start"}).status, 0);
  ASSERT_TRUE(desktop.waitIconic(alpha, true));

  const auto status = app.statusJson();
  std::string beta;
  for (const auto& item : status["stage"]["stowed"]) {
    if (item.value("url", "") == "http://beta.test/two") beta = item["id"].get<std::string>();
  }
  ASSERT_FALSE(beta.empty()) << status.dump();
  const auto kept = app.command({"keep", beta});
  ASSERT_EQ(kept.status, 0) << kept.out << kept.err;
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  // The window's title is its active tab's.
  EXPECT_TRUE(desktop.waitUntil([&] {
    const auto window = desktop.client(alpha);
    return window && window->title == "beta page - Chromium";
  })) << "the kept tab is in front";

  ASSERT_EQ(app.command({"done"}).status, 0);
  // With the other window in front again, only the remembered site keeps this one.
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(gamma)}), 0);
  const auto preview = app.command({"preview", "write the report", "--json"});
  ASSERT_EQ(preview.status, 0) << preview.err;
  EXPECT_EQ(stowedUrls(nlohmann::json::parse(preview.out)["stage"]), std::vector<std::string>{})
      << preview.out;
}

}  // namespace
}  // namespace tervane::x11
