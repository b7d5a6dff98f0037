#include "linux/X11ScriptableBrowser.h"

#include <gtest/gtest.h>

#include "linux/X11Platform.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"
#include "surfaces/BrowserAdapters.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;
using Spec = XTestDesktop::WindowSpec;

// The windows of `kind` front to back: id, title (each is one active tab without an
// address) and whether it is minimized.
using Read = std::vector<std::tuple<std::int64_t, std::string, bool>>;
Read read(BrowserSurfacing& surface, BrowserKind kind) {
  Read out;
  auto windows = surface.windows(kind);
  EXPECT_TRUE(windows.ok()) << windows.error();
  if (!windows.ok()) return out;
  for (const auto& w : windows.value()) {
    EXPECT_EQ(w.tabs, (std::vector<TabFacts>{{w.tabs.at(0).title, "", true}}));
    out.emplace_back(w.windowId, w.tabs.at(0).title, w.isMinimized);
  }
  return out;
}

// Windows that carry the browsers' classes stand in for the browsers: the scripts go
// through the browser surface, the lane, the runner and the engine to these windows.
TEST(X11ScriptableBrowser, TheBrowserScriptsReadAndMoveTheBrowsersWindows) {
  XTestDesktop desktop;
  testing::TempDir proc;
  const xcb_window_t one = desktop.createWindow(Spec::ofClass("Chromium").titled("One - Chromium"));
  const xcb_window_t other = desktop.createWindow(Spec::ofClass("Other").titled("Other"));
  const xcb_window_t two =
      desktop.createWindow(Spec::ofClass("Google-chrome").titled("Two - Google Chrome"));
  desktop.createWindow({.className = "Chromium", .dialog = true, .title = "Open File"});
  const xcb_window_t brave =
      desktop.createWindow(Spec::ofClass("Brave-browser").titled("News - Brave"));
  ASSERT_TRUE(desktop.waitActive(brave));
  const auto activeBefore = desktop.active();

  auto connection = XConnection::open(desktop.display()).value();
  X11Platform::Options options;
  options.stateFolder = desktop.home() / "state";
  options.procRoot = proc.path();
  X11Platform platform(connection, options);
  auto surface = platform.browserSurface();
  EXPECT_EQ(surface->runningBrowsers(),
            (std::vector<BrowserKind>{BrowserKind::chrome, BrowserKind::brave}));
  EXPECT_TRUE(surface->seesWindowsOnly(BrowserKind::chrome)) << "there is no companion";

  EXPECT_EQ(read(*surface, BrowserKind::chrome), (Read{{two, "Two", false}, {one, "One", false}}));
  EXPECT_TRUE(surface->windows(BrowserKind::chrome).value()[0].isFrontmost);
  EXPECT_EQ(read(*surface, BrowserKind::brave), (Read{{brave, "News", false}}));
  EXPECT_EQ(surface->windows(BrowserKind::edge).error(), AppleScriptError::notRunning());
  EXPECT_EQ(surface->windows(BrowserKind::safari).error(), AppleScriptError::notRunning());
  // The diagnostic tool reads the same from the live desktop.
  testing::writeText(desktop.home() / "script.txt",
                     ChromiumAdapter(BrowserKind::chrome).readScript());
  ASSERT_EQ(desktop.run({"sh", "-c",
                         std::string("exec '") + TERVANE_SCRIPT_TOOL +
                             "' --app 'Google Chrome' < script.txt > reply.json"},
                        30, desktop.home().path()),
            0)
      << testing::readText(desktop.home() / "reply.json");
  EXPECT_EQ(nlohmann::json::parse(testing::readText(desktop.home() / "reply.json"), nullptr, false),
            nlohmann::json::parse("[[" + std::to_string(two) + "," + std::to_string(one) +
                                  "],[false,false],[1,1],[\"Two\",\"One\"],[\"\",\"\"],"
                                  "[true,true]]"));

  // Focusing raises the window among the others without taking the focus.
  ASSERT_TRUE(surface->focus(one, 1, BrowserKind::chrome).ok());
  EXPECT_TRUE(desktop.waitUntil(
      [&] { return clientList(desktop.x(), ClientOrder::stacking).back() == one; }));
  EXPECT_EQ(desktop.active(), activeBefore);
  EXPECT_EQ(read(*surface, BrowserKind::chrome), (Read{{one, "One", false}, {two, "Two", false}}));

  // Ids of no window, of another application's window and of another browser's window
  // are skipped, as windows that no longer exist.
  auto minimized = surface->minimize({one, 77, other, brave}, BrowserKind::chrome);
  ASSERT_TRUE(minimized.ok()) << minimized.error();
  EXPECT_EQ(minimized.value(), 1);
  ASSERT_TRUE(desktop.waitIconic(one, true));
  EXPECT_FALSE(desktop.isIconic(other));
  EXPECT_FALSE(desktop.isIconic(brave));
  EXPECT_EQ(read(*surface, BrowserKind::chrome), (Read{{one, "One", true}, {two, "Two", false}}));

  EXPECT_EQ(surface->restore({one}, BrowserKind::chrome).value(), 1);
  ASSERT_TRUE(desktop.waitIconic(one, false));

  // A browser whose windows all went away is not running.
  xcb_destroy_window(desktop.x().raw(), brave);
  desktop.x().flush();
  ASSERT_TRUE(desktop.waitUntil([&] { return desktop.clients().size() == 4; }));
  EXPECT_EQ(surface->windows(BrowserKind::brave).error(), AppleScriptError::notRunning());
}

}  // namespace
}  // namespace tervane::x11
