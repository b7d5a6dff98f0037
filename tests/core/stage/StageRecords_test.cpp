#include "stage/StageRecords.h"

#include <gtest/gtest.h>

namespace tervane {
using nlohmann::json;

static TabFacts tab(std::string title, std::string url, bool active = false) {
  return TabFacts{std::move(title), std::move(url), active};
}

// The host a browser shows, lower case and without "www.", for addresses as browsers
// really hold them; the empty host for what has none.
TEST(TabFacts, HostOfAddressesAsBrowsersShowThem) {
  const std::pair<const char*, const char*> cases[] = {
      {"HTTPS://WWW.Example.COM/Path", "example.com"},
      {"http://www2.example.com/", "www2.example.com"},
      {"https://docs.example.com:8443/x?y#z", "docs.example.com"},
      {"http://[::1]:8080/", "::1"},
      {"https://user:pw@Mail.Example.com/", "mail.example.com"},
      {"https://ex%41mple.com/", "example.com"},
      {"https://xn--ber-goa.example.com/", "xn--ber-goa.example.com"},
      // Refused by a strict parse, shown by every browser:
      {"https://www.google.com/search?q=a|b&tbs=qdr:[w]", "google.com"},
      {"https://api.example.com/v1?filter={\"a\":1}&x=^2", "api.example.com"},
      {"https://Example.com\\docs\\index.html", "example.com"},
      {"https://example.com/my file.pdf", "example.com"},
      {"https://shop.example.com/search?q=100%zz", "shop.example.com"},
      {"https://de.wikipedia.org/wiki/Bücherei", "de.wikipedia.org"},
      {"https://ÜBER.Example.com/straße?x=[1]", "über.example.com"},
      {"https://u\u0308ber.example.com/", "\u00fcber.example.com"},  // composed
      {"https://\u0130\u0300.example/", "\u00ec.example"},  // composed once lower case
      {"https://bob@www.Über.example.com:443/a b", "über.example.com"},
      {"https://[2001:db8::1]:8443/a|b", "2001:db8::1"},
      // No host:
      {"about:blank", ""},
      {"file:///home/me/notes.txt", ""},
      {"data:text/html,<p>hi there</p>", ""},
      {"chrome://settings/?search=a|b", ""},
      {"ftp://example.com/", ""},
      {"example.com/path", ""},
      {"", ""},
      {"http://", ""},
      {"https://www.", ""},
      {"http://exa mple.com/a|b", ""},
      {"https://[::1/", ""},
      {"https://exa%20mple.com/a b", ""},
  };
  for (const auto& [url, host] : cases) EXPECT_EQ(tab("", url).host(), host) << url;
}

TEST(TabFacts, ReadableNameFallsBackFromTitleToHostToUrl) {
  EXPECT_EQ(tab("  Inbox \n", "https://mail.example.com/").readableName(), "Inbox");
  EXPECT_EQ(tab("   ", "https://www.example.com/").readableName(), "example.com");
  EXPECT_EQ(tab("", "https://news.example.com/?q=a|b").readableName(), "news.example.com");
  EXPECT_EQ(tab(" ", "file:///tmp/notes.txt").readableName(), "file:///tmp/notes.txt");
  EXPECT_EQ(tab("\t", "").readableName(), "");
}

TEST(WindowFacts, DerivedNamesHostsAndItems) {
  WindowFacts one{BrowserKind::safari, 7, {tab("A", "https://a.com/x")}, false, false};
  WindowFacts none{BrowserKind::chrome, 4711, {}, false, false};
  WindowFacts two{BrowserKind::edge, 3,
                  {tab("A", "https://a.com/1"), tab("B", "https://www.a.com/2", true)}, true, false};
  EXPECT_EQ(one.readableName(), "Safari window, 1 tab");
  EXPECT_EQ(none.readableName(), "Chrome window, 0 tabs");
  EXPECT_EQ(two.hosts(), std::set<std::string>{"a.com"});
  EXPECT_TRUE(WindowFacts({BrowserKind::brave, 1, {tab("x", "about:blank")}, false, false})
                  .hosts()
                  .empty());
  EXPECT_EQ(two.activeTab()->title, "B");
  EXPECT_EQ(one.activeTab()->title, "A");
  EXPECT_FALSE(none.activeTab().has_value());

  auto items = StageItem::forWindow(two);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].id, "edge:3");
  EXPECT_EQ(items[0].tabCount, 2);
  EXPECT_EQ(items[2].id, "edge:3#1");
  EXPECT_EQ(items[2].parentId, "edge:3");
  EXPECT_FALSE(items[2].isActionable());

  // JSON round trip; an unknown browser does not decode.
  EXPECT_EQ(decodeWindowFacts(toJson(two)), two);
  auto j = toJson(two);
  j["browser"] = "opera";
  EXPECT_FALSE(decodeWindowFacts(j).has_value());
}

TEST(BrowserKind, IdentifiersAndRawNamesMatchExactly) {
  EXPECT_TRUE(BrowserKinds::is("com.microsoft.edgemac"));
  EXPECT_FALSE(BrowserKinds::is("com.google.chrome"));
  // Firefox is last, so the raw names stored before keep their kinds.
  EXPECT_EQ(kAllBrowserKinds.back(), BrowserKind::firefox);
  EXPECT_TRUE(info(BrowserKind::firefox).isChromium) << "it takes the Chromium family's scripts";
  EXPECT_EQ(browserKindFromRaw("Safari"), std::nullopt);
  StageItem item = StageItem::app("x", "X");
  for (const auto& [raw, kind] : std::vector<std::pair<std::string, std::optional<BrowserKind>>>{
           {"opera", std::nullopt}, {"firefox", BrowserKind::firefox}, {"brave", BrowserKind::brave}}) {
    item.browser = raw;
    EXPECT_EQ(item.browserKind(), kind) << raw;
  }
}

TEST(StageSnapshot, WrongShapesFailToDecodeWithoutCrashing) {
  for (
      const char* text :
      {"{}", "[]", "null", "42", R"({"takenAt":"t","actionText":"a","stowed":{},"kept":[]})",
       R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[{"id":"x","kind":"folder","name":"n"}]})",
       R"({"takenAt":"t","actionText":1,"stowed":[],"kept":[]})",
       R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[{"id":"x","kind":"window","name":"n","tabCount":1.5}]})",
       R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[],"guardEvents":[{"itemId":"x","name":"n","letThrough":true}]})",
       R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[],"mark":{"bundleId":"x"}})",
       R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[],"parkedAt":false})"}) {
    EXPECT_FALSE(decodeStageSnapshot(json::parse(text)).has_value()) << text;
  }
}

TEST(GuardEvent, NeedsAllFourKeysAndIsIdentifiedByItemAndTime) {
  ManualClock clock;
  auto first = GuardEvent::make("com.example.Mail", "Mail", false, clock);
  EXPECT_EQ(first.at, "2025-01-02T03:04:05Z");
  EXPECT_EQ(first.id(), "com.example.Mail@2025-01-02T03:04:05Z");
  clock.advance(60);
  auto second = GuardEvent::make("com.example.Mail", "Mail", false, clock);
  EXPECT_NE(first.id(), second.id());
  EXPECT_NE(first, second);

  auto j = toJson(first);
  EXPECT_EQ(decodeGuardEvent(j), first);
  for (const char* key : {"itemId", "name", "letThrough", "at"}) {
    auto missing = j;
    missing.erase(key);
    EXPECT_FALSE(decodeGuardEvent(missing).has_value()) << key;
  }
}

}  // namespace tervane
