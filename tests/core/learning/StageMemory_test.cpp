#include "learning/StageMemory.h"

#include <gtest/gtest.h>

namespace tervane {
using nlohmann::json;
using R = StagePlanner::Remembered;

TEST(StageMemory, LoadDropsUnknownValuesOneByOneAndTheNextStoreRemovesThem) {
  MemoryDefaults defaults;
  defaults.set("mac_stage_memory", json{{"com.a", "keep"}, {"host:b.com", "stow"}, {"c", "maybe"}});
  StageMemory memory(defaults);
  EXPECT_EQ(memory.choices(), (RememberedChoices{{"com.a", R::keep}, {"host:b.com", R::stow}}));

  memory.remember(R::keep, "com.d");
  EXPECT_EQ(defaults.get("mac_stage_memory"),
            (json{{"com.a", "keep"}, {"host:b.com", "stow"}, {"com.d", "keep"}}));
}

TEST(StageMemory, AWrongShapeIsIgnoredWholeAndLeftAloneUntilTheNextStore) {
  for (json stored : {json{{"a", "keep"}, {"b", 1}}, json::array({"keep"}), json("keep"),
                      json{{"a", nullptr}}}) {
    MemoryDefaults defaults;
    defaults.set("mac_stage_memory", stored);
    StageMemory memory(defaults);
    EXPECT_TRUE(memory.choices().empty()) << stored;
    EXPECT_EQ(defaults.get("mac_stage_memory"), stored);
  }
}

TEST(StageMemory, RememberReplacesAndForgetRemovesOneKey) {
  MemoryDefaults defaults;
  StageMemory memory(defaults);
  memory.remember(R::stow, StageMemory::hostKey("mail.com"));
  memory.remember(R::keep, "host:mail.com");
  memory.remember(R::stow, "com.x");
  EXPECT_EQ(memory.choices().at("host:mail.com"), R::keep);
  memory.forget("com.x");
  EXPECT_EQ(defaults.get("mac_stage_memory"), (json{{"host:mail.com", "keep"}}));
  EXPECT_EQ(StageMemory(defaults).choices(), memory.choices());
  EXPECT_EQ(StageMemory::hostKey(""), "host:");
}

}  // namespace tervane
