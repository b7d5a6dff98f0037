#include "linux/ClientWindows.h"

#include <gtest/gtest.h>

namespace tervane::x11 {
namespace {

TEST(ClientWindows, BrowserClassesMapToTheirFixedIdentifiers) {
  EXPECT_EQ(appIdentifier("Google-chrome"), "com.google.Chrome");
  EXPECT_EQ(appIdentifier("Chromium"), "com.google.Chrome");
  EXPECT_EQ(appIdentifier("chromium"), "com.google.Chrome");
  EXPECT_EQ(appIdentifier("Brave-browser"), "com.brave.Browser");
  EXPECT_EQ(appIdentifier("Microsoft-edge"), "com.microsoft.edgemac");
  EXPECT_EQ(appIdentifier("XTerm"), "XTerm");
  EXPECT_EQ(appIdentifier("Chromium-like"), "Chromium-like");
  EXPECT_EQ(chromiumKindForProcess("msedge"), BrowserKind::edge);
  EXPECT_EQ(chromiumKindForProcess("chromium"), BrowserKind::chrome);
  EXPECT_EQ(chromiumKindForProcess("bash"), std::nullopt);
}

TEST(ClientWindows, TabTitlesLoseOnlyTheirOwnBrowsersSuffix) {
  EXPECT_EQ(tabTitleFromWindowTitle(BrowserKind::chrome, "Inbox - Mail - Chromium"),
            "Inbox - Mail");
  EXPECT_EQ(tabTitleFromWindowTitle(BrowserKind::chrome, "News - Google Chrome"), "News");
  EXPECT_EQ(tabTitleFromWindowTitle(BrowserKind::edge, "Docs - Microsoft\u200b Edge"), "Docs");
  EXPECT_EQ(tabTitleFromWindowTitle(BrowserKind::brave, "Docs - Chromium"), "Docs - Chromium");
  // A title that is nothing but the suffix stays as it is.
  EXPECT_EQ(tabTitleFromWindowTitle(BrowserKind::chrome, " - Chromium"), " - Chromium");
}

}  // namespace
}  // namespace tervane::x11
