#include "support/BrowserWindowsCheck.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tervane::testing {

void checkBrowserMovedByItsWindows(const BrowserWindowsDesktop& desktop) {
  const BrowserKind kind = desktop.kind;
  int listed = 0;
  for (const auto& app : desktop.apps->runningApps())
    listed += app.bundleId == bundleId(kind) && app.name == displayName(kind);
  EXPECT_EQ(listed, 1);

  auto& browsers = *desktop.browsers;
  EXPECT_EQ(browsers.runningBrowsers(), std::vector<BrowserKind>{kind});
  EXPECT_TRUE(browsers.seesWindowsOnly(kind));
  using Read = std::vector<std::pair<std::string, bool>>;
  const auto read = [&] {
    Read out;
    auto windows = browsers.windows(kind);
    EXPECT_TRUE(windows.ok()) << windows.error();
    if (!windows.ok()) return out;
    for (const auto& w : windows.value()) {
      EXPECT_EQ(w.tabs, (std::vector<TabFacts>{{w.tabs.at(0).title, "", true}}));
      out.emplace_back(w.tabs.at(0).title, w.isMinimized);
    }
    return out;
  };
  // While a window is away, in either order unless the desktop keeps it.
  const auto readAway = [&] {
    auto out = read();
    if (!desktop.keepsOrderWhileAway) std::sort(out.begin(), out.end());
    return out;
  };
  ASSERT_EQ(read(), (Read{{"second", false}, {"first", false}}));
  const auto windows = browsers.windows(kind).value();
  const std::int64_t older = windows[1].windowId, newer = windows[0].windowId;

  ASSERT_TRUE(browsers.focus(older, 1, kind).ok());
  EXPECT_EQ(read(), (Read{{"first", false}, {"second", false}}));
  EXPECT_EQ(browsers.minimize({older, newer}, kind).value(), 2);
  EXPECT_TRUE(desktop.allAway());
  EXPECT_EQ(readAway(), (Read{{"first", true}, {"second", true}}));
  EXPECT_EQ(browsers.restore({newer}, kind).value(), 1);
  EXPECT_EQ(readAway(), (Read{{"first", true}, {"second", false}}));

  ASSERT_TRUE(desktop.closeSecond());
  EXPECT_EQ(browsers.restore({older, newer}, kind).value(), 1);
  EXPECT_EQ(read(), (Read{{"first", false}}));
}

}  // namespace tervane::testing
