// The adapters' script texts, run by the engine against simulated browsers.
#include "AdapterScripts.h"

#include <gtest/gtest.h>

#include "ScriptTestSupport.h"
#include "stage/BrowserKind.h"

namespace tervane::testing {
namespace {

using nlohmann::json;

// A minimize script with the other dictionary's word for the flag.
std::string withWord(std::string script, const std::string& from, const std::string& to) {
  script.replace(script.find(" " + from + " "), from.size() + 2, " " + to + " ");
  return script;
}

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
    EXPECT_EQ(answer(desk.run(readScript(kind))), expected);
    // Reading changes nothing.
    EXPECT_EQ(browser->state(), SimulatedState::parse(kTwoWindows).value());
  }
}

TEST(AdapterScripts, SafariReadsOnlyVisibleWindowsAndTakesBlankUrlsAsEmpty) {
  Desk desk;
  desk.add("Safari", R"({"windows":[
    {"id":1,"visible":false,"tabs":[{"title":"Hidden","url":"https://h/"}]},
    {"id":2,"minimized":true,"activeTabIndex":2,"tabs":[{"title":"A","url":"https://a/"},
                                                        {"title":"Blank"}]},
    {"id":3,"activeTabIndex":0,"tabs":[{"title":"C","url":"https://c/"}]}]})");
  EXPECT_EQ(answer(desk.run(readScript(BrowserKind::safari))),
            json::parse(R"([[2, 3], [true, false], [2, 1], ["A", "Blank", "C"],
                            ["https://a/", "", "https://c/"], [false, true, false]])"));
}

TEST(AdapterScripts, ChromiumReadWithoutReadableActiveTabMarksNoneAndFailsOnAMissingUrl) {
  Desk desk;
  auto browser = desk.add("Brave Browser", R"({"windows":[
    {"id":5,"visible":false,"activeTabIndex":0,"tabs":[{"title":"A","url":"https://a/"},
                                                       {"title":"B","url":"https://b/"}]},
    {"id":6,"tabs":[]}]})");
  // Chromium-family windows are read whether visible or not, and a window without tabs
  // still reports its count of 0.
  EXPECT_EQ(answer(desk.run(readScript(BrowserKind::brave))),
            json::parse(R"([[5, 6], [false, false], [2, 0], ["A", "B"],
                            ["https://a/", "https://b/"], [false, false]])"));
  // Unlike Safari's, this script does not guard the URL: a tab without one fails the read.
  auto state = browser->state();
  state.windows[0].tabs[1].url.reset();
  browser->setState(state);
  EXPECT_EQ(errorOf(desk.run(readScript(BrowserKind::brave))), -1728);
}

TEST(AdapterScripts, ReadFailsWhenAWindowVanishesMidReadOrTheBrowserRefuses) {
  Desk desk;
  auto browser = desk.add("Google Chrome", kTwoWindows);
  // Calls: connect, the window list, the first window's tab count; the second window then
  // goes before its tabs are asked for.
  ASSERT_TRUE(browser->dropWindow(12, 3));
  EXPECT_EQ(errorOf(desk.run(readScript(BrowserKind::chrome))), -1728);

  for (int number : {-1743, -600, -609, -10000}) {
    browser->failWith(number);
    EXPECT_EQ(errorOf(desk.run(readScript(BrowserKind::chrome))), number);
  }
}

TEST(AdapterScripts, MinimizeCountsOnlyTheWindowsItCouldSet) {
  for (auto kind : kAllBrowserKinds) {
    SCOPED_TRACE(appName(kind));
    Desk desk;
    auto browser = desk.add(appName(kind), R"({"windows":[
      {"id":11,"tabs":[{"title":"a","url":"u"}]}, {"id":12,"tabs":[{"title":"b","url":"u"}]},
      {"id":13,"tabs":[{"title":"c","url":"u"}]}]})");
    // 99 never existed; 13 goes away while the script runs (after connect and the first
    // window's two calls).
    ASSERT_TRUE(browser->dropWindow(13, 3));
    EXPECT_EQ(answer(desk.run(minimizeScript(kind, true, {11, 99, 13, 12}))), 2);
    const auto windows = browser->state().windows;
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_TRUE(windows[0].minimized);
    EXPECT_TRUE(windows[1].minimized);

    EXPECT_EQ(answer(desk.run(minimizeScript(kind, false, {12}))), 1);
    EXPECT_FALSE(browser->state().windows[1].minimized);
    EXPECT_TRUE(browser->state().windows[0].minimized);
  }
}

TEST(AdapterScripts, MinimizeWithTheOtherDictionarysWordSetsNothing) {
  Desk desk;
  auto chrome = desk.add("Google Chrome", kTwoWindows);
  auto safari = desk.add("Safari", kTwoWindows);
  EXPECT_EQ(answer(desk.run(withWord(minimizeScript(BrowserKind::chrome, true, {11, 12}),
                                     "minimized", "miniaturized"))),
            0);
  EXPECT_EQ(answer(desk.run(withWord(minimizeScript(BrowserKind::safari, true, {11, 12}),
                                     "miniaturized", "minimized"))),
            0);
  EXPECT_FALSE(chrome->state().windows[0].minimized);
  EXPECT_FALSE(safari->state().windows[0].minimized);
}

TEST(AdapterScripts, FocusSelectsTheTabAndPutsTheWindowFirst) {
  for (auto kind : kAllBrowserKinds) {
    SCOPED_TRACE(appName(kind));
    Desk desk;
    auto browser = desk.add(appName(kind), kTwoWindows);
    EXPECT_EQ(answer(desk.run(focusScript(kind, 12, 2))), nullptr);
    auto windows = browser->state().windows;
    EXPECT_EQ(windows[0].id, 12);
    EXPECT_EQ(windows[0].activeTabIndex, 2);
    EXPECT_EQ(windows[1].id, 11);
    EXPECT_EQ(windows[1].activeTabIndex, 2);

    // A tab that does not exist still brings the window forward; a window that does not
    // exist changes nothing. Neither is an error.
    EXPECT_EQ(answer(desk.run(focusScript(kind, 11, 9))), nullptr);
    windows = browser->state().windows;
    EXPECT_EQ(windows[0].id, 11);
    EXPECT_EQ(windows[0].activeTabIndex, 2);
    const auto before = browser->state();
    EXPECT_EQ(answer(desk.run(focusScript(kind, 77, 1))), nullptr);
    EXPECT_EQ(browser->state(), before);
  }
}

}  // namespace
}  // namespace tervane::testing
