#include "look/ThemeManager.h"

#include <gtest/gtest.h>

#include "support/CountingDefaults.h"

namespace tervane {
namespace {

using testing::CountingDefaults;

TervaneTint tintFor(const std::optional<nlohmann::json>& stored) {
  MemoryDefaults defaults;
  if (stored) defaults.set("selected_tint_id", *stored);
  Store store(defaults);
  return ThemeManager(store).tint();
}

}  // namespace

TEST(ThemeManager, ReadsTheStoredTintCaseInsensitivelyWithCarbonAsTheFallback) {
  EXPECT_EQ(tintFor(nlohmann::json("violet")), TervaneTint::violet);
  EXPECT_EQ(tintFor(nlohmann::json("Ochre")), TervaneTint::ochre);
  EXPECT_EQ(tintFor(nlohmann::json("MOSS")), TervaneTint::carbon);
  EXPECT_EQ(tintFor(nlohmann::json(3)), TervaneTint::carbon);
  EXPECT_EQ(tintFor(std::nullopt), TervaneTint::carbon);
}

TEST(ThemeManager, WritesAndSignalsOnlyWhenTheTintChanges) {
  CountingDefaults defaults;
  Store store(defaults);
  ThemeManager theme(store);
  std::vector<TervaneTint> seen;
  auto connection = theme.tintChanged().connect([&](TervaneTint t) { seen.push_back(t); });
  EXPECT_EQ(defaults.writes, 0);

  theme.setTint(TervaneTint::carbon);
  EXPECT_EQ(defaults.writes, 0);
  EXPECT_EQ(defaults.get("selected_tint_id"), std::nullopt);

  theme.setTint(TervaneTint::slate);
  theme.setTint(TervaneTint::slate);
  EXPECT_EQ(defaults.writes, 1);
  EXPECT_EQ(defaults.inner.getString("selected_tint_id"), "SLATE");
  EXPECT_EQ(seen, std::vector<TervaneTint>{TervaneTint::slate});
  EXPECT_EQ(ThemeManager(store).tint(), TervaneTint::slate);
}

}  // namespace tervane
