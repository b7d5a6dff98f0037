#include "stage/StageRecords.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "base/StateFolder.h"
#include "core/stage/StageItems.h"
#include "stage/StageJournal.h"
#include "support/TempDir.h"

namespace tervane {
using testing::listFolder;
using testing::readText;
using testing::TempDir;
using testing::writeText;
using Files = std::vector<std::string>;
using nlohmann::json;

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
      {"https://Example.com\\docs\\index.html", "example.com"},
      {"https://ÜBER.Example.com/straße?x=[1]", "über.example.com"},
      {"https://u\u0308ber.example.com/", "\u00fcber.example.com"},  // composed
      {"https://\u0130\u0300.example/", "\u00ec.example"},           // composed once lower case
      {"https://bob@www.Über.example.com:443/a b", "über.example.com"},
      {"https://[2001:db8::1]:8443/a|b", "2001:db8::1"},
      // No host:
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
  for (const auto& [url, host] : cases) EXPECT_EQ((TabFacts{"", url, false}).host(), host) << url;
}

// A tab's name falls back from its title to its host to its address.
TEST(WindowFacts, DerivedNamesHostsAndItems) {
  WindowFacts one{BrowserKind::safari, 7, {{"A", "https://a.com/x", false}}, false, false};
  WindowFacts none{BrowserKind::chrome, 4711, {}, false, false};
  const std::vector<TabFacts> tabs = {{"  A \n", "https://a.com/1", false},
                                      {"", "about:blank", false},
                                      {"   ", "https://www.a.com/2", true}};
  WindowFacts three{BrowserKind::edge, 3, tabs, true, false};
  EXPECT_EQ(one.readableName(), "Safari window, 1 tab");
  EXPECT_EQ(three.hosts(), std::set<std::string>{"a.com"});
  EXPECT_EQ(three.activeTab()->url, "https://www.a.com/2");
  EXPECT_EQ(one.activeTab()->title, "A");
  EXPECT_FALSE(none.activeTab().has_value());

  auto items = StageItem::forWindow(three);
  EXPECT_EQ(testing::ids(items), (Files{"edge:3", "edge:3#0", "edge:3#1", "edge:3#2"}));
  std::vector<std::string> names;
  for (const auto& item : items) names.push_back(item.name);
  EXPECT_EQ(names, (Files{"Edge window, 3 tabs", "A", "about:blank", "a.com"}));
  EXPECT_EQ(items[0].tabCount, 3);
  EXPECT_EQ(items[2].parentId, "edge:3");
  EXPECT_FALSE(items[2].isActionable());

  // JSON round trip; an unknown browser does not decode.
  auto j = toJson(three);
  EXPECT_EQ(decodeWindowFacts(j), three);
  j["browser"] = "opera";
  EXPECT_FALSE(decodeWindowFacts(j).has_value());
}

TEST(BrowserKind, IdentifiersAndRawNamesMatchExactly) {
  EXPECT_TRUE(BrowserKinds::is("com.microsoft.edgemac"));
  EXPECT_FALSE(BrowserKinds::is("com.google.chrome"));
  StageItem item = StageItem::app("x", "X");
  for (const auto& [raw, kind] :
       {std::pair<std::string, std::optional<BrowserKind>>{"opera", std::nullopt},
        {"Safari", std::nullopt}, {"firefox", BrowserKind::firefox}, {"brave", BrowserKind::brave}}) {
    item.browser = raw;
    EXPECT_EQ(item.browserKind(), kind) << raw;
  }
}

TEST(GuardEvent, NeedsAllFourKeysAndIsIdentifiedByItemAndTime) {
  ManualClock clock;
  const auto first = GuardEvent::make("com.example.Mail", "Mail", false, clock);
  EXPECT_EQ(first, (GuardEvent{"com.example.Mail", "Mail", false, "2025-01-02T03:04:05Z"}));
  EXPECT_EQ(first.id(), "com.example.Mail@2025-01-02T03:04:05Z");
  for (const char* key : {"itemId", "name", "letThrough", "at"}) {
    auto missing = toJson(first);
    missing.erase(key);
    EXPECT_FALSE(decodeGuardEvent(missing).has_value()) << key;
  }
}

namespace {

StageSnapshot bareSnapshot(const std::string& line) {
  StageSnapshot s;
  s.takenAt = "2025-01-02T03:04:05Z";
  s.actionText = line;
  s.stowed = {StageItem::app("com.example.Mail", "Mail")};
  return s;
}

StageSnapshot fullSnapshot() {
  StageSnapshot s = bareSnapshot("write the letter");
  WindowFacts window{
      BrowserKind::safari, 7, {{"Docs", "https://docs.example/a", true}}, false, false};
  for (auto& item : StageItem::forWindow(window)) s.stowed.push_back(item);
  s.kept = {StageItem::app("org.example.Editor", "Editor")};
  s.guardEvents = std::vector<GuardEvent>{{"com.example.Mail", "Mail", true, s.takenAt}};
  s.parkedAt = "2025-01-02T03:10:00Z";
  s.mark = ResumeMark{"com.apple.Safari", "Safari", "safari", 7, 1, "https://docs.example/a"};
  return s;
}

}  // namespace

TEST(StageJournal, WriteOpenAndCloseFollowTheStage) {
  TempDir dir;
  StageJournal journal(dir / "state" / "tervane-now");
  EXPECT_EQ(journal.fileURL(), dir / "state" / "tervane-now" / "open-stage.json");
  EXPECT_EQ(journal.open(), std::nullopt);
  EXPECT_TRUE(journal.close().ok()) << "no journal is not an error";

  const auto first = fullSnapshot();
  ASSERT_TRUE(journal.write(first).ok());
  EXPECT_EQ(journal.open(), first);

  const auto second = bareSnapshot("second line");
  ASSERT_TRUE(journal.write(second).ok());
  EXPECT_EQ(journal.open(), second);
  EXPECT_EQ(listFolder(journal.directory()), Files{"open-stage.json"});

  ASSERT_TRUE(journal.close().ok());
  EXPECT_EQ(journal.open(), std::nullopt);
  EXPECT_TRUE(listFolder(journal.directory()).empty());

  // A close whose removal cannot be made durable says so (a failed write is the session
  // tests' business: the stage it would have journalled does not open).
  ASSERT_TRUE(journal.write(second).ok());
  AtomicWriteOptions folderNotSynced{.inject = [](AtomicWriteStep s) {
    return s == AtomicWriteStep::syncFolder ? std::optional<int>(EIO) : std::nullopt;
  }};
  EXPECT_FALSE(StageJournal(journal.directory(), folderNotSynced).close().ok());
}

TEST(StageJournal, WritesSortedPrettyJsonWithoutAbsentKeysAndReadsAnyLayout) {
  TempDir dir;
  StageJournal journal(dir.path());
  StageSnapshot s = bareSnapshot("one");
  s.stowed.clear();
  s.kept = {StageItem::app("a.b", "B")};
  ASSERT_TRUE(journal.write(s).ok());
  const auto text = readText(journal.fileURL());
  EXPECT_EQ(text, json::parse(text).dump(2) + "\n");  // sorted keys, two-space indent
  EXPECT_EQ(json::parse(text), (json{{"actionText", "one"}, {"stowed", json::array()},
                                     {"kept", {{{"id", "a.b"}, {"kind", "app"}, {"name", "B"}}}},
                                     {"takenAt", "2025-01-02T03:04:05Z"}}));
  const auto back = journal.open();
  ASSERT_TRUE(back.has_value());
  EXPECT_FALSE(back->guardEvents || back->parkedAt || back->mark);

  writeText(journal.fileURL(),
            R"({"stowed":[],"takenAt":"2025-01-02T03:04:05Z","kept":[],"actionText":"x",)"
            R"("parkedAt":null,"extra":1})");
  const auto lenient = journal.open();  // a null optional is absent, an unknown key ignored
  ASSERT_TRUE(lenient.has_value());
  EXPECT_EQ(lenient->actionText, "x");
  EXPECT_FALSE(lenient->parkedAt.has_value());
}

// Each wrong shape fails to decode without crashing; a folder in the journal's place is
// no stage either, and closing it fails.
TEST(StageJournal, AnUndecodableJournalIsNoStageAndIsLeftUntouched) {
  for (const std::string content :
       {"{}", "not json", "[]", "null", "42",
        R"({"takenAt":1,"actionText":"x","stowed":[],"kept":[]})",
        R"({"takenAt":"t","actionText":1,"stowed":[],"kept":[]})",
        R"({"takenAt":"t","actionText":"x","stowed":[{"id":"a"}],"kept":[]})",
        R"({"takenAt":"t","actionText":"a","stowed":{},"kept":[]})",
        R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[{"id":"x","kind":"folder","name":"n"}]})",
        R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[{"id":"x","kind":"window","name":"n","tabCount":1.5}]})",
        R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[],"guardEvents":[{"itemId":"x","name":"n","letThrough":true}]})",
        R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[],"mark":{"bundleId":"x"}})",
        R"({"takenAt":"t","actionText":"a","stowed":[],"kept":[],"parkedAt":false})"}) {
    TempDir dir;
    StageJournal journal(dir.path());
    writeText(journal.fileURL(), content);
    EXPECT_EQ(journal.open(), std::nullopt) << content;
    EXPECT_EQ(readText(journal.fileURL()), content);
  }
  TempDir dir;
  StageJournal journal(dir.path());
  std::filesystem::create_directory(journal.fileURL());
  EXPECT_EQ(journal.open(), std::nullopt);
  EXPECT_FALSE(journal.close().ok());
  EXPECT_TRUE(std::filesystem::is_directory(journal.fileURL()));

  TempDir big;
  StageJournal oversized(big.path());
  ASSERT_TRUE(oversized.write(fullSnapshot()).ok());
  auto padded = readText(oversized.fileURL());
  padded.resize(StageJournal::kLargestJournalBytes + 1, ' ');  // still a valid snapshot
  writeText(oversized.fileURL(), padded);
  EXPECT_EQ(oversized.open(), std::nullopt);
  EXPECT_EQ(std::filesystem::file_size(oversized.fileURL()), padded.size());
}

TEST(StageJournalFolder, FollowsXdgStateHomeElseHome) {
  auto env = [](std::map<std::string, std::string> vars) -> EnvironmentLookup {
    return [vars](const std::string& name) {
      return vars.contains(name) ? std::optional(vars.at(name)) : std::nullopt;
    };
  };
  using P = std::filesystem::path;
  EXPECT_EQ(defaultStageJournalFolder(env({{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}})).value(),
            P("/s/tervane-now"));
  for (const std::string ignored : {"", "relative/state"}) {
    EXPECT_EQ(defaultStageJournalFolder(env({{"XDG_STATE_HOME", ignored}, {"HOME", "/h"}})).value(),
              P("/h/.local/state/tervane-now"));
  }
  EXPECT_FALSE(defaultStageJournalFolder(env({})).ok());
  EXPECT_FALSE(defaultStageJournalFolder(env({{"HOME", "h"}})).ok());
  EXPECT_EQ(defaultConfigFolder(env({{"HOME", "/h"}})).value(), P("/h/.config/tervane-now"));
  EXPECT_EQ(defaultConfigFolder(env({{"XDG_CONFIG_HOME", "/c"}})).value(), P("/c/tervane-now"));
}

}  // namespace tervane
