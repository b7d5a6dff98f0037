#include "stage/StageJournal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "base/StateFolder.h"
#include "support/TempDir.h"

namespace tervane {
using testing::listFolder;
using testing::readText;
using testing::TempDir;
using testing::writeText;
using Files = std::vector<std::string>;

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

AtomicWriteOptions failingAt(AtomicWriteStep failing, int error) {
  AtomicWriteOptions options;
  options.inject = [=](AtomicWriteStep s) -> std::optional<int> {
    if (s == failing) return error;
    return std::nullopt;
  };
  return options;
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
}

TEST(StageJournal, WritesSortedPrettyJsonWithoutAbsentKeysAndReadsAnyLayout) {
  TempDir dir;
  StageJournal journal(dir.path());
  StageSnapshot s = bareSnapshot("one");
  s.stowed.clear();
  s.kept = {StageItem::app("a.b", "B")};
  ASSERT_TRUE(journal.write(s).ok());
  EXPECT_EQ(readText(journal.fileURL()), R"({
  "actionText": "one",
  "kept": [
    {
      "id": "a.b",
      "kind": "app",
      "name": "B"
    }
  ],
  "stowed": [],
  "takenAt": "2025-01-02T03:04:05Z"
}
)");
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

TEST(StageJournal, AnUndecodableJournalIsNoStageAndIsLeftUntouched) {
  for (const std::string content :
       {"{}", "not json", R"({"takenAt":1,"actionText":"x","stowed":[],"kept":[]})",
        R"({"takenAt":"t","actionText":"x","stowed":[{"id":"a"}],"kept":[]})"}) {
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

// The atomic write has its own test for a failure at each step; here, that the journal
// hands it its options and says what failed.
TEST(StageJournal, AFailedWriteOrCloseSaysSoAndLeavesWhatIsOnDisk) {
  TempDir dir;
  const auto previous = fullSnapshot();
  ASSERT_TRUE(StageJournal(dir.path()).write(previous).ok());
  StageJournal failing(dir.path(), failingAt(AtomicWriteStep::rename, EIO));
  EXPECT_FALSE(failing.write(bareSnapshot("new line")).ok());
  EXPECT_EQ(failing.open(), previous);
  EXPECT_EQ(listFolder(dir.path()), Files{"open-stage.json"});
  // The file goes, but its removal cannot be made durable.
  EXPECT_FALSE(StageJournal(dir.path(), failingAt(AtomicWriteStep::syncFolder, EIO)).close().ok());

  TempDir other;
  StageJournal journal(other.path());
  std::filesystem::create_directory(journal.fileURL());
  EXPECT_FALSE(journal.close().ok());
  EXPECT_TRUE(std::filesystem::is_directory(journal.fileURL()));
}

TEST(StageJournalFolder, FollowsXdgStateHomeElseHome) {
  auto env = [](std::map<std::string, std::string> vars) -> EnvironmentLookup {
    return [vars](const std::string& name) -> std::optional<std::string> {
      auto it = vars.find(name);
      if (it == vars.end()) return std::nullopt;
      return it->second;
    };
  };
  using P = std::filesystem::path;
  auto folder = defaultStageJournalFolder(env({{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}}));
  ASSERT_TRUE(folder.ok());
  EXPECT_EQ(folder.value(), P("/s/tervane-now"));
  for (const std::string ignored : {"", "relative/state"}) {
    folder = defaultStageJournalFolder(env({{"XDG_STATE_HOME", ignored}, {"HOME", "/h"}}));
    ASSERT_TRUE(folder.ok());
    EXPECT_EQ(folder.value(), P("/h/.local/state/tervane-now"));
  }
  EXPECT_FALSE(defaultStageJournalFolder(env({})).ok());
  EXPECT_FALSE(defaultStageJournalFolder(env({{"HOME", "h"}})).ok());
  EXPECT_EQ(defaultConfigFolder(env({{"HOME", "/h"}})).value(), P("/h/.config/tervane-now"));
  EXPECT_EQ(defaultConfigFolder(env({{"XDG_CONFIG_HOME", "/c"}})).value(), P("/c/tervane-now"));
}

}  // namespace tervane
