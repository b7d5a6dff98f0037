#include "surfaces/BrowserAdapters.h"

#include <gtest/gtest.h>

#include <limits>

namespace tervane {
namespace {

// A script as its table gives it: each line's indent and text, joined by line feeds.
std::string lines(const std::vector<std::pair<int, std::string>>& rows) {
  std::string out;
  for (const auto& [indent, text] : rows) {
    if (!out.empty()) out += "\n";
    out += std::string(static_cast<std::size_t>(indent), ' ') + text;
  }
  return out;
}

const std::vector<BrowserKind> kChromiumKinds = {BrowserKind::chrome, BrowserKind::brave,
                                                 BrowserKind::edge};

TEST(BrowserAdapters, ReadScriptsAreTheWireTexts) {
  for (auto kind : kChromiumKinds) {
    EXPECT_EQ(ChromiumAdapter(kind).readScript(),
              lines({{0, "tell application \"" + appName(kind) + "\""},
                     {4, "set wIds to {}"},
                     {4, "set wMin to {}"},
                     {4, "set wCounts to {}"},
                     {4, "set tTitles to {}"},
                     {4, "set tUrls to {}"},
                     {4, "set tActive to {}"},
                     {4, "repeat with w in (every window)"},
                     {8, "set theTabs to (every tab of w)"},
                     {8, "set end of wIds to (id of w)"},
                     {8, "set end of wMin to (minimized of w)"},
                     {8, "set end of wCounts to (count of theTabs)"},
                     {8, "set activeIdx to 0"},
                     {8, "try"},
                     {12, "set activeIdx to (active tab index of w)"},
                     {8, "end try"},
                     {8, "set i to 0"},
                     {8, "repeat with t in theTabs"},
                     {12, "set i to i + 1"},
                     {12, "set end of tTitles to (title of t)"},
                     {12, "set end of tUrls to (URL of t)"},
                     {12, "set end of tActive to (i = activeIdx)"},
                     {8, "end repeat"},
                     {4, "end repeat"},
                     {4, "return {wIds, wMin, wCounts, tTitles, tUrls, tActive}"},
                     {0, "end tell"}}))
        << rawValue(kind);
  }
  EXPECT_EQ(SafariAdapter().readScript(),
            lines({{0, "tell application \"Safari\""},
                   {4, "set wIds to {}"},
                   {4, "set wMin to {}"},
                   {4, "set wCounts to {}"},
                   {4, "set tTitles to {}"},
                   {4, "set tUrls to {}"},
                   {4, "set tActive to {}"},
                   {4, "repeat with w in (every window whose visible is true)"},
                   {8, "set theTabs to (every tab of w)"},
                   {8, "set end of wIds to (id of w)"},
                   {8, "set end of wMin to (miniaturized of w)"},
                   {8, "set end of wCounts to (count of theTabs)"},
                   {8, "-- Safari tabs have no id but they DO have an index, and"},
                   {8, "-- `index of current tab` is exact. Comparing urls instead would"},
                   {8, "-- mark two tabs active whenever a window has the same page open"},
                   {8, "-- twice, which is ordinary rather than rare."},
                   {8, "set activeIdx to 0"},
                   {8, "try"},
                   {12, "set activeIdx to (index of current tab of w)"},
                   {8, "end try"},
                   {8, "set i to 0"},
                   {8, "repeat with t in theTabs"},
                   {12, "set i to i + 1"},
                   {12, "set end of tTitles to (name of t)"},
                   {12, "set theUrl to \"\""},
                   {12, "try"},
                   {16, "set theUrl to (URL of t) as text"},
                   {12, "end try"},
                   {12, "set end of tUrls to theUrl"},
                   {12, "set end of tActive to (i = activeIdx)"},
                   {8, "end repeat"},
                   {4, "end repeat"},
                   {4, "return {wIds, wMin, wCounts, tTitles, tUrls, tActive}"},
                   {0, "end tell"}}));
}

TEST(BrowserAdapters, MoveScriptsAreTheWireTexts) {
  const auto setMinimized = [](BrowserKind kind, const std::string& ids,
                               const std::string& property, const std::string& flag) {
    return lines({{0, "tell application \"" + appName(kind) + "\""},
                  {4, "set n to 0"},
                  {4, "repeat with wid in {" + ids + "}"},
                  {8, "try"},
                  {12, "set " + property + " of \u00AC"},
                  {16, "(first window whose id is (contents of wid)) to " + flag},
                  {12, "set n to n + 1"},
                  {8, "end try"},
                  {4, "end repeat"},
                  {4, "return n"},
                  {0, "end tell"}});
  };
  const auto focus = [](BrowserKind kind, const std::string& selectLine) {
    return lines({{0, "tell application \"" + appName(kind) + "\""},
                  {4, "try"},
                  {8, "set w to (first window whose id is 4711)"},
                  {8, "try"},
                  {12, selectLine},
                  {8, "end try"},
                  {8, "set index of w to 1"},
                  {4, "end try"},
                  {0, "end tell"}});
  };

  for (auto kind : kChromiumKinds) {
    const ChromiumAdapter adapter(kind);
    EXPECT_EQ(adapter.setMinimizedScript(true, {12, 40}),
              setMinimized(kind, "12, 40", "minimized", "true"));
    EXPECT_EQ(adapter.setMinimizedScript(false, {7}),
              setMinimized(kind, "7", "minimized", "false"));
    EXPECT_EQ(adapter.focusScript(4711, 2), focus(kind, "set active tab index of w to 2"));
  }
  const SafariAdapter safari;
  EXPECT_EQ(safari.setMinimizedScript(true, {12, 40, 2147483647}),
            setMinimized(BrowserKind::safari, "12, 40, 2147483647", "miniaturized", "true"));
  EXPECT_EQ(safari.focusScript(4711, 2),
            focus(BrowserKind::safari, "set current tab of w to tab 2 of w"));
}

TEST(BrowserAdapters, AssembleBuildsWindowsOnlyFromListsThatLineUp) {
  const ChromiumAdapter chrome(BrowserKind::chrome);
  const std::vector<std::string> names = {"a", "b", "c", "d", "e"};
  const std::vector<std::string> urls = {"ua", "ub", "uc", "ud", "ue"};
  const std::vector<bool> actives = {false, true, false, true, false};

  const auto two = chrome.assemble({11, 12}, {false, true}, {3, 2}, names, urls, actives);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].browser, BrowserKind::chrome);
  EXPECT_EQ(two[0].windowId, 11);
  EXPECT_TRUE(two[0].isFrontmost);
  EXPECT_FALSE(two[0].isMinimized);
  EXPECT_EQ(two[0].tabs,
            (std::vector<TabFacts>{{"a", "ua", false}, {"b", "ub", true}, {"c", "uc", false}}));
  EXPECT_FALSE(two[1].isFrontmost);
  EXPECT_TRUE(two[1].isMinimized);
  EXPECT_EQ(two[1].tabs, (std::vector<TabFacts>{{"d", "ud", true}, {"e", "ue", false}}));

  // A window without tabs is left out and moves no offset; when it is the front one, no
  // reported window is frontmost.
  const auto gap =
      chrome.assemble({10, 11, 12}, {false, false, false}, {0, 3, 2}, names, urls, actives);
  ASSERT_EQ(gap.size(), 2u);
  EXPECT_EQ(gap[0].windowId, 11);
  EXPECT_FALSE(gap[0].isFrontmost);
  EXPECT_EQ(gap[1].tabs.front().title, "d");

  EXPECT_TRUE(chrome.assemble({11, 12}, {false}, {3, 2}, names, urls, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12}, {false, false}, {3, 2}, names, {"ua"}, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12}, {false, false}, {2, 2}, names, urls, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12, 13}, {false, false, false}, {-1, 1, 5}, names, urls, actives)
                  .empty());
  EXPECT_TRUE(chrome.assemble({}, {}, {}, {}, {}, {}).empty());
  // Counts so large that their sum wraps round to the number of tabs still do not line up.
  constexpr auto kHuge = std::numeric_limits<std::int64_t>::max();
  EXPECT_TRUE(
      chrome.assemble({11, 12, 13}, {false, false, false}, {kHuge, kHuge, 2}, {}, {}, {}).empty());
  EXPECT_TRUE(
      chrome.assemble({11, 12}, {false, false}, {kHuge, 1}, {"a", "b"}, {"ua", "ub"}, {true, false})
          .empty());
}

TEST(BrowserAdapters, AReplyOfTheWrongShapeGivesNoWindows) {
  using R = ReplyDescriptor;
  const auto list = [](std::vector<R> items) { return R::list(std::move(items)); };
  std::vector<R> six = {list({R::integer(5)}),
                        list({R::boolean(false)}),
                        list({R::integer(2)}),
                        list({R::string("Mail"), R::string("News")}),
                        list({R::string("https://mail.example.com/"), R::string("")}),
                        list({R::boolean(false), R::boolean(true)})};
  const SafariAdapter safari;
  const auto windows = safari.windowsFromReply(R::list(six));
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].browser, BrowserKind::safari);
  EXPECT_EQ(windows[0].tabs[1], (TabFacts{"News", "", true}));

  auto five = six;
  five.pop_back();
  EXPECT_TRUE(safari.windowsFromReply(R::list(five)).empty());
  EXPECT_TRUE(safari.windowsFromReply(R::integer(6)).empty());
  six[3] = R::missing();  // reads as an empty list, so the tab lists no longer line up
  EXPECT_TRUE(safari.windowsFromReply(R::list(six)).empty());
}

}  // namespace
}  // namespace tervane
