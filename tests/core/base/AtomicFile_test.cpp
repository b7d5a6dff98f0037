#include "base/AtomicFile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "base/Log.h"
#include "support/TempDir.h"

namespace tervane {
using testing::listFolder;
using testing::modeOf;
using testing::readText;
using testing::TempDir;

TEST(AtomicFile, CreatesMissingPrivateFoldersAndAPrivateFile) {
  TempDir dir;
  const auto file = dir / "a" / "b" / "state.json";
  ASSERT_TRUE(writeFileAtomically(file, "one").ok());
  EXPECT_EQ(readText(file), "one");
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(modeOf(dir / "a"), 0700u);
  EXPECT_EQ(modeOf(dir / "a" / "b"), 0700u);
  EXPECT_EQ(listFolder(dir / "a" / "b"), std::vector<std::string>{"state.json"});
}

// What the write reports is what is on disk: a failure before the rename keeps the old
// file; once the rename has put the new file in place the write succeeds, and a folder
// that cannot be synced after it is logged.
TEST(AtomicFile, TheResultOfAFailureAtEachStepMatchesTheFileOnDisk) {
  const struct {
    AtomicWriteStep failing;
    bool done;
  } cases[] = {{AtomicWriteStep::createFolder, false}, {AtomicWriteStep::openTemporary, false},
               {AtomicWriteStep::write, false},        {AtomicWriteStep::syncFile, false},
               {AtomicWriteStep::rename, false},       {AtomicWriteStep::syncFolder, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.failing));
    auto sink = std::make_shared<RecordingLogSink>();
    Log::setSink(sink);
    TempDir dir;
    const auto file = dir / "state.json";
    ASSERT_TRUE(writeFileAtomically(file, "old").ok());
    AtomicWriteOptions options;
    options.inject = [&](AtomicWriteStep s) -> std::optional<int> {
      if (s == c.failing) return ENOSPC;
      return std::nullopt;
    };
    auto result = writeFileAtomically(file, "new", options);
    Log::setSink(nullptr);
    EXPECT_EQ(result.ok(), c.done);
    if (!result.ok()) {
      EXPECT_EQ(result.error().code, ENOSPC);
    }
    EXPECT_EQ(readText(file), c.done ? "new" : "old");
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"state.json"});
    EXPECT_EQ(sink->records().size(), c.done ? 1u : 0u);
  }
}

TEST(AtomicFile, ATargetThatIsAFolderOrUnderAFileIsAnErrorAndLeftAsItWas) {
  TempDir dir;
  std::filesystem::create_directory(dir / "state.json");
  EXPECT_FALSE(writeFileAtomically(dir / "state.json", "x").ok());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "state.json"));
  EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"state.json"});
  EXPECT_FALSE(readFile(dir / "state.json").ok());

  testing::writeText(dir / "plain", "x");
  EXPECT_FALSE(writeFileAtomically(dir / "plain" / "state.json", "x").ok());
  EXPECT_EQ(readText(dir / "plain"), "x");
}

TEST(AtomicFile, TemporariesLeftByAKilledWriteAreRemovedAndNothingElse) {
  TempDir dir;
  const auto file = dir / "open-stage.json";
  ASSERT_TRUE(writeFileAtomically(file, "{}").ok());
  for (const char* name : {".open-stage.json.a1B2c3", ".open-stage.json.zzzzzz",
                           ".open-stage.json.toolong1", "open-stage.json.x1y2z3",
                           ".shared.json.a1B2c3"}) {
    testing::writeText(dir / name, "partial");
  }
  EXPECT_EQ(removeAbandonedTemporaries(file), 2);
  EXPECT_EQ(testing::listFolder(dir.path()),
            (std::vector<std::string>{".open-stage.json.toolong1", ".shared.json.a1B2c3",
                                      "open-stage.json", "open-stage.json.x1y2z3"}));
  EXPECT_EQ(removeAbandonedTemporaries(dir / "missing" / "file.json"), 0);
}

}  // namespace tervane
