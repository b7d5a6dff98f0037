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

std::vector<std::string> titles(const std::vector<WindowFacts>& windows) {
  std::vector<std::string> out;
  for (const auto& w : windows) {
    EXPECT_EQ(w.tabs.size(), 1u);
    if (w.tabs.empty()) continue;
    EXPECT_TRUE(w.tabs[0].isActive);
    EXPECT_EQ(w.tabs[0].url, "");
    out.push_back(w.tabs[0].title);
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
  desktop.createWindow(Spec::ofClass("Chromium").asDialog().titled("Open File"));
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

  auto chrome = surface->windows(BrowserKind::chrome);
  ASSERT_TRUE(chrome.ok()) << chrome.error();
  ASSERT_EQ(chrome.value().size(), 2u);
  EXPECT_EQ(chrome.value()[0].windowId, two) << "front to back";
  EXPECT_EQ(chrome.value()[1].windowId, one);
  EXPECT_TRUE(chrome.value()[0].isFrontmost);
  EXPECT_FALSE(chrome.value()[0].isMinimized);
  EXPECT_EQ(titles(chrome.value()), (std::vector<std::string>{"Two", "One"}));
  auto news = surface->windows(BrowserKind::brave);
  ASSERT_TRUE(news.ok());
  EXPECT_EQ(titles(news.value()), std::vector<std::string>{"News"});
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
  EXPECT_TRUE(desktop.waitUntil([&] { return desktop.stacking().back() == one; }));
  EXPECT_EQ(desktop.active(), activeBefore);
  chrome = surface->windows(BrowserKind::chrome);
  ASSERT_TRUE(chrome.ok());
  EXPECT_EQ(chrome.value()[0].windowId, one);
  EXPECT_EQ(titles(chrome.value()), (std::vector<std::string>{"One", "Two"}));

  // Ids of no window, of another application's window and of another browser's window
  // are skipped, as windows that no longer exist.
  auto minimized = surface->minimize({one, 77, other, brave}, BrowserKind::chrome);
  ASSERT_TRUE(minimized.ok()) << minimized.error();
  EXPECT_EQ(minimized.value(), 1);
  ASSERT_TRUE(desktop.waitIconic(one, true));
  EXPECT_FALSE(desktop.isIconic(other));
  EXPECT_FALSE(desktop.isIconic(brave));
  chrome = surface->windows(BrowserKind::chrome);
  ASSERT_TRUE(chrome.ok());
  ASSERT_EQ(chrome.value().size(), 2u);
  EXPECT_EQ(chrome.value()[0].windowId, one);
  EXPECT_TRUE(chrome.value()[0].isMinimized);
  EXPECT_FALSE(chrome.value()[1].isMinimized);

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
