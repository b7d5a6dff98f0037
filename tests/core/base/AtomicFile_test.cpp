#include "base/AtomicFile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "base/Defaults.h"
#include "base/Log.h"
#include "support/TempDir.h"

namespace tervane {
using nlohmann::json;
using testing::listFolder;
using testing::modeOf;
using testing::readText;
using testing::TempDir;
using testing::writeText;

TEST(AtomicFile, CreatesMissingPrivateFoldersButNeverReplacesAFolderOrWritesUnderAFile) {
  TempDir dir;
  const auto file = dir / "a" / "b" / "state.json";
  ASSERT_TRUE(writeFileAtomically(file, "one").ok());
  EXPECT_EQ(readText(file), "one");
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(modeOf(dir / "a"), 0700u);
  EXPECT_EQ(modeOf(dir / "a" / "b"), 0700u);

  // A target that is a folder, or under a file, is an error and left as it was.
  std::filesystem::create_directory(dir / "state.json");
  EXPECT_FALSE(writeFileAtomically(dir / "state.json", "x").ok());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "state.json"));
  EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"a", "state.json"}));
  EXPECT_FALSE(readFile(dir / "state.json").ok());
  testing::writeText(dir / "plain", "x");
  EXPECT_FALSE(writeFileAtomically(dir / "plain" / "state.json", "x").ok());
  EXPECT_EQ(readText(dir / "plain"), "x");
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
    options.inject = [&](AtomicWriteStep s) {
      return s == c.failing ? std::optional<int>(ENOSPC) : std::nullopt;
    };
    auto result = writeFileAtomically(file, "new", options);
    Log::setSink(nullptr);
    EXPECT_EQ(result.ok() ? 0 : result.error().code, c.done ? 0 : ENOSPC);
    EXPECT_EQ(readText(file), c.done ? "new" : "old");
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"state.json"});
    EXPECT_EQ(sink->records().size(), c.done ? 1u : 0u);
  }
}

TEST(AtomicFile, TemporariesLeftByAKilledWriteAreRemovedAndNothingElse) {
  TempDir dir;
  const auto file = dir / "open-stage.json";
  ASSERT_TRUE(writeFileAtomically(file, "{}").ok());
  for (const char* name :
       {".open-stage.json.a1B2c3", ".open-stage.json.zzzzzz", ".open-stage.json.toolong1",
        "open-stage.json.x1y2z3", ".shared.json.a1B2c3"}) {
    testing::writeText(dir / name, "partial");
  }
  EXPECT_EQ(removeAbandonedTemporaries(file), 2);
  EXPECT_EQ(testing::listFolder(dir.path()),
            (std::vector<std::string>{".open-stage.json.toolong1", ".shared.json.a1B2c3",
                                      "open-stage.json", "open-stage.json.x1y2z3"}));
  EXPECT_EQ(removeAbandonedTemporaries(dir / "missing" / "file.json"), 0);
}

TEST(FileDefaults, ValuesSurviveAReload) {
  TempDir dir;
  const auto file = dir / "config" / "standard.json";
  {
    FileDefaults defaults(file);
    defaults.set("flag", true);
    defaults.set("seconds", 1735787045.25);
    defaults.set("map", json{{"a", "keep"}});
    defaults.set("title", "Mail \xC3");  // not UTF-8: kept with a replacement character
    defaults.set("long", std::string(100 * 1024, 'y') + "\xE2\x80\xAE\x01end");
    defaults.set("gone", "x");
    defaults.remove("gone");
    EXPECT_FALSE(defaults.lastError().has_value());
  }
  FileDefaults again(file);
  EXPECT_EQ(again.getBool("flag"), true);
  EXPECT_EQ(again.get("seconds"), json(1735787045.25));
  EXPECT_EQ(again.get("map"), (json{{"a", "keep"}}));
  EXPECT_EQ(again.get("gone"), std::nullopt);
  EXPECT_EQ(again.getString("long"), std::string(100 * 1024, 'y') + "\xE2\x80\xAE\x01end");
  EXPECT_EQ(again.getString("title"), "Mail \xEF\xBF\xBD");
  EXPECT_EQ(again.getString("flag"), std::nullopt);  // wrong type reads as none
}

TEST(FileDefaults, AnUnreadableFileReadsEmptyAndIsMovedAsideBeforeTheNextWrite) {
  // Nested so deeply that copying or writing it back would exhaust the stack.
  const std::string deep =
      "{\"mac_stage_memory\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
  for (const std::string& content : std::vector<std::string>{
           "{not json", "[1,2,3]", "\"just a string\"", "42", "null", "", deep}) {
    TempDir dir;
    const auto file = dir / "standard.json";
    writeText(file, content);
    std::filesystem::permissions(file, std::filesystem::perms(0644));
    FileDefaults defaults(file);
    EXPECT_EQ(defaults.get("mac_stage_memory"), std::nullopt);
    EXPECT_EQ(readText(file), content) << "reading must not touch the file";

    defaults.set("flag", false);
    ASSERT_TRUE(defaults.setAside().has_value());
    EXPECT_EQ(readText(*defaults.setAside()), content);
    EXPECT_EQ(FileDefaults(file).getBool("flag"), false);
    EXPECT_EQ(testing::modeOf(file), 0600u) << "rewritten private over a readable file";
    EXPECT_EQ(listFolder(dir.path()).size(), 2u);
  }
}

TEST(FileDefaults, BracketsInsideTextDoNotCountAsNesting) {
  TempDir dir;
  const auto file = dir / "standard.json";
  const std::string brackets(1000, '[');
  writeText(file, json{{"title", brackets + "\\\"" + brackets}}.dump());
  EXPECT_EQ(FileDefaults(file).getString("title"), brackets + "\\\"" + brackets);
}

TEST(FileDefaults, AFailedWriteKeepsTheValueInMemoryAndReportsIt) {
  TempDir dir;
  AtomicWriteOptions options;
  options.inject = [](AtomicWriteStep s) {
    return s == AtomicWriteStep::rename ? std::optional<int>(EACCES) : std::nullopt;
  };
  FileDefaults defaults(dir / "standard.json", options);
  defaults.set("flag", true);
  EXPECT_EQ(defaults.getBool("flag"), true);
  ASSERT_TRUE(defaults.lastError().has_value());
  EXPECT_EQ(defaults.lastError()->code, EACCES);
  EXPECT_TRUE(listFolder(dir.path()).empty());
}

}  // namespace tervane
