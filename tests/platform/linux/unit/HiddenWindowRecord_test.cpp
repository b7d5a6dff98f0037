#include "linux/HiddenWindowRecord.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace tervane::x11 {
namespace {

using testing::TempDir;

// The record survives a restart with private modes. A failed write, or an application
// name that is not UTF-8, changes nothing and blocks no later write.
TEST(HiddenWindowRecord, SurvivesARestartWithPrivateModesAndARefusedWriteChangesNothing) {
  TempDir dir;
  const auto file = dir / "state/tervane-now" / HiddenWindowRecord::kFileName;
  {
    HiddenWindowRecord record(file);
    ASSERT_TRUE(record.add("XTerm", {0x400001, 0x400020}).ok());
    ASSERT_TRUE(record.add("com.google.Chrome", {0xa00002}).ok());
    ASSERT_TRUE(record.add("XTerm", {0x400001, 0x500003}).ok());
  }
  EXPECT_EQ(testing::modeOf(file), 0600u);
  EXPECT_EQ(testing::modeOf(file.parent_path()), 0700u);

  HiddenWindowRecord reloaded(file);
  EXPECT_EQ(reloaded.windowsOf("XTerm"),
            (HiddenWindowRecord::Windows{0x400001, 0x400020, 0x500003}));
  EXPECT_EQ(reloaded.windowsOf("com.google.Chrome"), (HiddenWindowRecord::Windows{0xa00002}));
  ASSERT_TRUE(reloaded.forget("XTerm").ok());
  EXPECT_TRUE(HiddenWindowRecord(file).windowsOf("XTerm").empty());
  EXPECT_EQ(HiddenWindowRecord(file).all().size(), 1u);

  AtomicWriteOptions failing;
  bool fail = false;
  failing.inject = [&](AtomicWriteStep step) -> std::optional<int> {
    return fail && step == AtomicWriteStep::rename ? std::optional<int>(ENOSPC) : std::nullopt;
  };
  HiddenWindowRecord record(file, failing);
  ASSERT_TRUE(record.add("XTerm", {1}).ok());
  const auto before = testing::readText(file);
  fail = true;
  EXPECT_FALSE(record.add("XTerm", {2}).ok());
  fail = false;
  EXPECT_FALSE(record.add("Bad\xFF\xC3", {2}).ok());
  EXPECT_TRUE(record.windowsOf("Bad\xFF\xC3").empty());
  EXPECT_EQ(record.windowsOf("XTerm"), HiddenWindowRecord::Windows{1});
  EXPECT_EQ(testing::readText(file), before);
  EXPECT_TRUE(record.forget("Bad\xFF\xC3").ok());
  ASSERT_TRUE(record.add("XTerm", {3}).ok());
  EXPECT_EQ(HiddenWindowRecord(file).windowsOf("XTerm"), (HiddenWindowRecord::Windows{1, 3}));
}

TEST(HiddenWindowRecord, AFileOfTheWrongShapeIsAnEmptyRecordThatTheNextWriteRepairs) {
  TempDir dir;
  const auto file = dir / HiddenWindowRecord::kFileName;
  for (const char* text :
       {"not json", "[1,2]", "null", "42", "\"XTerm\"", R"({"XTerm": 5})", R"({"XTerm": [1, "2"]})",
        R"({"XTerm": [-1]})", R"({"XTerm": [4294967296]})"}) {
    testing::writeText(file, text);
    std::filesystem::permissions(file, std::filesystem::perms(0644));
    HiddenWindowRecord record(file);
    EXPECT_TRUE(record.all().empty()) << text;
    ASSERT_TRUE(record.add("Mail", {7}).ok()) << text;
    EXPECT_EQ(HiddenWindowRecord(file).windowsOf("Mail"), HiddenWindowRecord::Windows{7}) << text;
    EXPECT_EQ(testing::modeOf(file), 0600u) << text;
  }
}

}  // namespace
}  // namespace tervane::x11
