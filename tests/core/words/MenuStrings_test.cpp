#include "words/MenuStrings.h"

#include <gtest/gtest.h>

#include "words/ReceiptWords.h"

namespace tervane {

TEST(MenuStrings, VersionAndSystemLinesNameThePlatformHandedIn) {
  const AppIdentity linux{"Linux", "1.4", "212"};
  EXPECT_EQ(MenuStrings::version(linux), "Tervane Now for Linux 1.4 (212)");
  EXPECT_EQ(MenuStrings::version(AppIdentity{"Linux", "", ""}), "Tervane Now for Linux  ()");
  EXPECT_EQ(TervaneContact::systemLine(linux, {"Arch Linux", ""}),
            "Tervane Now for Linux 1.4 (212), Arch Linux");
  EXPECT_EQ(TervaneContact::systemLine(linux, {"Debian GNU/Linux", "12", "KDE Plasma (Wayland)"}),
            "Tervane Now for Linux 1.4 (212), Debian GNU/Linux 12, KDE Plasma (Wayland)");

  EXPECT_EQ(MenuStrings::quit(true), "Bring everything back and quit");
  EXPECT_EQ(MenuStrings::quit(false), "Quit Tervane Now");
}

TEST(SystemIdentity, ReadsNameAndVersionFromOsRelease) {
  const auto debian = SystemIdentity::fromOsRelease(
      "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n# a comment\nNAME=\"Debian GNU/Linux\"\n"
      "VERSION_ID=\"12\"\nID=debian\n");
  EXPECT_EQ(debian.name, "Debian GNU/Linux");
  EXPECT_EQ(debian.version, "12");
  const auto quoted =
      SystemIdentity::fromOsRelease("NAME='Odd' \nVERSION_ID=\"24.04 \\\"LTS\\\"\"");
  EXPECT_EQ(quoted.name, "Odd");
  EXPECT_EQ(quoted.version, "24.04 \"LTS\"");
  EXPECT_EQ(SystemIdentity::fromOsRelease("").name, "Linux");
}

TEST(ReceiptWords, SummaryCountsAppsWindowsAndTheWindowsTabs) {
  const auto app = StageItem::app("com.example.mail", "Mail");
  StageItem window;
  window.kind = StageItem::Kind::window;
  window.tabCount = 7;
  StageItem tab;
  tab.kind = StageItem::Kind::tab;

  EXPECT_EQ(ReceiptWords::summary({app, app, window, window, window}),
            "2 apps, 3 windows, 21 tabs");
  EXPECT_EQ(ReceiptWords::summary({app}), "1 app");
  StageItem single = window;
  single.tabCount = 1;
  StageItem uncounted = window;
  uncounted.tabCount.reset();
  EXPECT_EQ(ReceiptWords::summary({single, uncounted}), "2 windows, 1 tab");
  EXPECT_EQ(ReceiptWords::summary({uncounted}), "1 window");
  // Tabs are counted through their windows only.
  EXPECT_EQ(ReceiptWords::summary({tab, tab}), "");
}

}  // namespace tervane
