#include "words/StageWords.h"

#include <gtest/gtest.h>

#include "base/Text.h"
#include "core/stage/StageItems.h"
#include "words/ClearingStrings.h"
#include "words/MenuStrings.h"
#include "words/ReceiptWords.h"

namespace tervane {
namespace {

using testing::tabItem;
using testing::windowItem;

StageSnapshot stowing(int apps, int windows, int tabs, const std::string& firstApp = "Slack") {
  StageSnapshot s;
  for (int i = 0; i < tabs; ++i) s.stowed.push_back(tabItem("chrome:1", std::to_string(i)));
  for (int i = 0; i < apps; ++i)
    s.stowed.push_back(StageItem::app("com." + std::to_string(i), i ? "Other" : firstApp));
  for (int i = 0; i < windows; ++i) s.stowed.push_back(windowItem("chrome:" + std::to_string(i)));
  return s;
}

}  // namespace

TEST(StageWords, WhatIDidCountsAppsAndWindowsButNotTabs) {
  const std::string clear = "Your screen was already clear, so I hid nothing.";
  const std::pair<StageSnapshot, std::string> cases[] = {
      {stowing(0, 0, 0), clear},
      {stowing(0, 0, 3), clear},
      {stowing(1, 0, 2, " Slack, \u201Cbeta\u201D "), "I hid  Slack, \u201Cbeta\u201D ."},
      {stowing(1, 1, 0, "Mail"), "I hid Mail and minimized 1 browser window."},
      {stowing(2, 0, 0), "I hid 2 apps."},
      {stowing(0, 2, 5), "I minimized 2 browser windows."},
      {stowing(12, 1, 0), "I hid 12 apps and minimized 1 browser window."},
      {stowing(1, 4, 0, "Mail"), "I hid Mail and minimized 4 browser windows."},
  };
  for (const auto& [stage, words] : cases) EXPECT_EQ(StageWords::whatIDid(stage), words) << words;
}

TEST(StageWords, SeesWindowsOnlyNamesEachBrowserOnce) {
  EXPECT_EQ(StageWords::seesWindowsOnly({BrowserKind::chrome}),
            "I see only the windows of Chrome, not its tabs. To show me the tabs, add the Tervane "
            "Now companion: run tervane-now browsers install and follow what it says.");
  EXPECT_THAT(
      StageWords::seesWindowsOnly({BrowserKind::chrome, BrowserKind::brave, BrowserKind::edge}),
      ::testing::StartsWith("I see only the windows of Chrome, Brave and Edge, not their "
                            "tabs."));
}

TEST(StageWords, PausedNamesWholeMinutesFromOne) {
  const std::pair<int, std::string> cases[] = {
      {0, "Paused."}, {-3, "Paused."}, {1, "Paused for 1 minute."}, {25, "Paused for 25 minutes."}};
  for (const auto& [minutes, words] : cases) {
    EXPECT_EQ(StageWords::paused(minutes), words + " Your apps are still hidden.") << minutes;
  }
}

TEST(StageWords, FinishedTrimsAndCutsTheLineAt28Characters) {
  const std::string twentyEight = "abcdefghijklmnopqrstuvwxyz01";
  EXPECT_EQ(StageWords::finished(twentyEight), "Finished: " + twentyEight);
  EXPECT_EQ(StageWords::finished(twentyEight + "2"),
            "Finished: " + twentyEight.substr(0, 27) + "\u2026");
  EXPECT_EQ(StageWords::finishedAndUndone(twentyEight + "234"),
            "Finished: " + twentyEight.substr(0, 27) + "\u2026. Your apps are back.");
  EXPECT_EQ(StageWords::finished("  write the report \n"), "Finished: write the report");
  EXPECT_EQ(StageWords::finishedAndUndone("\twrite the report  "),
            "Finished: write the report. Your apps are back.");
  EXPECT_EQ(StageWords::finished(" \n \u00A0"), "Finished this one");
  EXPECT_EQ(ClearingStrings::shieldHeadline("   "), "   ") << "the shield shows even spaces";
  EXPECT_EQ(StageWords::finishedAndUndone(""), "Finished. Your apps are back.");

  // Emoji and accented letters count as one character each.
  std::string accented;
  for (int i = 0; i < 28; ++i) accented += i % 2 ? "\U0001F469\u200D\U0001F4BB" : "e\u0301";
  EXPECT_EQ(StageWords::shortened(accented), accented);
  EXPECT_EQ(StageWords::shortened(accented + "x"), Text::prefix(accented, 27) + "\u2026");
  EXPECT_EQ(Text::characterCount(StageWords::shortened(accented + "x")), 28u);
}

TEST(MenuStrings, VersionAndSystemLinesNameThePlatformHandedIn) {
  const AppIdentity linux{"Linux", "1.4", "212"};
  EXPECT_EQ(TervaneContact::systemLine(linux, {"Debian GNU/Linux", "12", "KDE Plasma (Wayland)"}),
            "Tervane Now for Linux 1.4 (212), Debian GNU/Linux 12, KDE Plasma (Wayland)");
  // From os-release: NAME and VERSION_ID, quoted either way; "Linux" without a NAME.
  const std::pair<const char*, const char*> releases[] = {
      {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n# a comment\nNAME=\"Debian GNU/Linux\"\n"
       "VERSION_ID=\"12\"\nID=debian\n",
       "Debian GNU/Linux 12"},
      {"NAME='Odd' \nVERSION_ID=\"24.04 \\\"LTS\\\"\"", "Odd 24.04 \"LTS\""},
      {"", "Linux"},
  };
  for (const auto& [text, system] : releases) {
    EXPECT_EQ(TervaneContact::systemLine(linux, SystemIdentity::fromOsRelease(text)),
              std::string("Tervane Now for Linux 1.4 (212), ") + system)
        << text;
  }
}

TEST(ReceiptWords, SummaryCountsAppsWindowsAndTheWindowsTabs) {
  const auto app = StageItem::app("com.example.mail", "Mail");
  const auto window = windowItem("chrome:1", 7);
  const auto tab = tabItem("chrome:1", "a");
  EXPECT_EQ(ReceiptWords::summary({app, app, window, window, window}),
            "2 apps, 3 windows, 21 tabs");
  EXPECT_EQ(ReceiptWords::summary({windowItem("chrome:2", 1), windowItem("chrome:3")}),
            "2 windows, 1 tab");
  EXPECT_EQ(ReceiptWords::summary({windowItem("chrome:3")}), "1 window");
  // Tabs are counted through their windows only.
  EXPECT_EQ(ReceiptWords::summary({tab, tab}), "");
}

}  // namespace tervane
