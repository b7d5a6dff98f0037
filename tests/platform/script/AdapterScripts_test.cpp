// The adapters' script texts, run by the engine against simulated browsers.
#include <gtest/gtest.h>

#include "ScriptTestSupport.h"
#include "stage/BrowserKind.h"

namespace tervane::testing {
namespace {

using nlohmann::json;

TEST(AdapterScripts, EveryKindReadsTwoWindowsAsSixListsFrontWindowFirst) {
  const json expected = json::parse(R"([[11, 12], [false, true], [3, 2],
    ["Inbox", "Report", "Inbox", "News", "Weather"],
    ["https://mail.example.com/", "https://docs.example.com/report",
     "https://mail.example.com/", "https://news.example.com/", "https://weather.example.com/"],
    [false, true, false, true, false]])");
  for (auto kind : kAllBrowserKinds) {
    SCOPED_TRACE(appName(kind));
    Desk desk;
    auto browser = desk.add(appName(kind), kTwoWindows);
    EXPECT_EQ(answer(desk.run(adapter(kind)->readScript())), expected);
    // Reading changes nothing.
    EXPECT_EQ(browser->state(), SimulatedState::parse(kTwoWindows).value());
  }
}

TEST(AdapterScripts, SafariReadsVisibleWindowsAndBlankUrlsWhereChromiumReadsAllAndFails) {
  Desk desk;
  desk.add("Safari", R"({"windows":[
    {"id":1,"visible":false,"tabs":[{"title":"Hidden","url":"https://h/"}]},
    {"id":2,"minimized":true,"activeTabIndex":2,"tabs":[{"title":"A","url":"https://a/"},
                                                        {"title":"Blank"}]},
    {"id":3,"activeTabIndex":0,"tabs":[{"title":"C","url":"https://c/"}]}]})");
  EXPECT_EQ(answer(desk.run(adapter(BrowserKind::safari)->readScript())),
            json::parse(R"([[2, 3], [true, false], [2, 1], ["A", "Blank", "C"],
                            ["https://a/", "", "https://c/"], [false, true, false]])"));

  auto browser = desk.add("Brave Browser", R"({"windows":[
    {"id":5,"visible":false,"activeTabIndex":0,"tabs":[{"title":"A","url":"https://a/"},
                                                       {"title":"B","url":"https://b/"}]},
    {"id":6,"tabs":[]}]})");
  // Chromium-family windows are read whether visible or not, and a window without tabs
  // still reports its count of 0.
  EXPECT_EQ(answer(desk.run(adapter(BrowserKind::brave)->readScript())),
            json::parse(R"([[5, 6], [false, false], [2, 0], ["A", "B"],
                            ["https://a/", "https://b/"], [false, false]])"));
  // Unlike Safari's, this script does not guard the URL: a tab without one fails the read.
  auto state = browser->state();
  state.windows[0].tabs[1].url.reset();
  browser->setState(state);
  EXPECT_EQ(errorOf(desk.run(adapter(BrowserKind::brave)->readScript())), -1728);

  // A read fails when a window vanishes mid-read (after connect, the window list and the
  // first window's tab count) or the browser refuses.
  browser = desk.add("Google Chrome", kTwoWindows);
  ASSERT_TRUE(browser->dropWindow(12, 3));
  EXPECT_EQ(errorOf(desk.run(adapter(BrowserKind::chrome)->readScript())), -1728);
  for (int number : {-1743, -600, -609, -10000}) {
    browser->failWith(number);
    EXPECT_EQ(errorOf(desk.run(adapter(BrowserKind::chrome)->readScript())), number);
  }
}

TEST(AdapterScripts, MinimizeCountsOnlyTheWindowsItCouldSetAndFocusPutsTheWindowFirst) {
  for (auto kind : kAllBrowserKinds) {
    SCOPED_TRACE(appName(kind));
    Desk desk;
    auto browser = desk.add(appName(kind), R"({"windows":[
      {"id":11,"tabs":[{"title":"a","url":"u"}]}, {"id":12,"tabs":[{"title":"b","url":"u"}]},
      {"id":13,"tabs":[{"title":"c","url":"u"}]}]})");
    // 99 never existed; 13 goes away while the script runs (after connect and the first
    // window's two calls).
    ASSERT_TRUE(browser->dropWindow(13, 3));
    EXPECT_EQ(answer(desk.run(adapter(kind)->setMinimizedScript(true, {11, 99, 13, 12}))), 2);
    const auto left = browser->state().windows;
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(left[0].minimized && left[1].minimized);

    EXPECT_EQ(answer(desk.run(adapter(kind)->setMinimizedScript(false, {12}))), 1);
    EXPECT_FALSE(browser->state().windows[1].minimized);
    EXPECT_TRUE(browser->state().windows[0].minimized);

    // Focus selects the tab and puts the window first; a missing tab still brings its
    // window forward; a missing window changes nothing.
    browser = desk.add(appName(kind), kTwoWindows);
    const std::tuple<int, int, int, int> steps[] = {{12, 2, 12, 2}, {11, 9, 11, 2}, {77, 1, 11, 2}};
    for (const auto& [window, tab, front, activeTab] : steps) {
      EXPECT_EQ(answer(desk.run(adapter(kind)->focusScript(window, tab))), nullptr);
      const auto windows = browser->state().windows;
      ASSERT_EQ(windows.size(), 2u);
      EXPECT_EQ(windows[0].id, front) << window;
      EXPECT_EQ(windows[0].activeTabIndex, activeTab) << window;
      EXPECT_EQ(windows[1].activeTabIndex, 2) << window;
    }
  }
}

}  // namespace
}  // namespace tervane::testing
