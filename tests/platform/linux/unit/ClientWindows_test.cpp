#include "linux/ClientWindows.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tervane::x11 {
namespace {

TEST(ClientWindows, BrowserClassesMapToTheirFixedIdentifiers) {
  const std::pair<const char*, const char*> classes[] = {
      {"Google-chrome", "com.google.Chrome"},
      {"Chromium", "com.google.Chrome"},
      {"chromium", "com.google.Chrome"},
      {"Brave-browser", "com.brave.Browser"},
      {"Microsoft-edge", "com.microsoft.edgemac"},
      {"firefox-esr", "org.mozilla.firefox"},
      {"Firefox", "org.mozilla.firefox"},
      {"firefox-nightly", "org.mozilla.firefox"},
      {"Navigator", "Navigator"},
      {"XTerm", "XTerm"},
      {"Chromium-like", "Chromium-like"},
  };
  for (const auto& [className, id] : classes) EXPECT_EQ(appIdentifier(className), id) << className;
}

TEST(ClientWindows, TabTitlesLoseOnlyTheirOwnBrowsersSuffix) {
  // A title that is nothing but the suffix stays as it is.
  for (const auto& [kind, window, tab] :
       {std::tuple{BrowserKind::chrome, "Inbox - Mail - Chromium", "Inbox - Mail"},
        {BrowserKind::chrome, "News - Google Chrome", "News"},
        {BrowserKind::edge, "Docs - Microsoft\u200b Edge", "Docs"},
        {BrowserKind::brave, "Docs - Chromium", "Docs - Chromium"},
        {BrowserKind::firefox, "A \u2014 B \u2014 Mozilla Firefox", "A \u2014 B"},
        {BrowserKind::chrome, "A \u2014 Mozilla Firefox", "A \u2014 Mozilla Firefox"},
        {BrowserKind::chrome, " - Chromium", " - Chromium"}}) {
    EXPECT_EQ(tabTitleFromWindowTitle(kind, window), tab) << window;
  }
}

}  // namespace
}  // namespace tervane::x11
