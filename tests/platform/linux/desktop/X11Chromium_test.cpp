// Debian's Chromium on the private desktop through its X11 windows alone, read and moved
// through the browser surface, the permission check, the runner, the lane and the script
// engine. Its companion's tests are with Firefox's.
#include <gtest/gtest.h>

#include "linux/X11Platform.h"
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
namespace {}  // namespace
}  // namespace tervane::x11
