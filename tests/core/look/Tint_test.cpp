#include "look/Tint.h"

#include <gtest/gtest.h>

#include <cmath>

#include "look/ThemeManager.h"
#include "support/CountingDefaults.h"

namespace tervane {
namespace {

std::array<long, 3> in255(const Color& c) {
  return {std::lround(c.red * 255), std::lround(c.green * 255), std::lround(c.blue * 255)};
}

TEST(TervaneTint, RawValuesReadBackOnlyInUpperCase) {
  for (const auto tint : TervaneTints::allCases) EXPECT_EQ(tintFromRaw(rawValue(tint)), tint);
  EXPECT_EQ(tintFromRaw("violet"), std::nullopt);
  EXPECT_EQ(tintFromRaw(""), std::nullopt);
}

TEST(TervaneTint, ColoursAreFractionsOf255AndHoverSurfacesMixOverTheBackground) {
  const auto slate = surfaceContainerHigh(TervaneTint::slate);
  EXPECT_NEAR(slate.red * 255, 0.14 * 46 + 0.86 * 14, 1e-9);
  EXPECT_EQ(in255(slate), (std::array<long, 3>{18, 22, 28}));
  EXPECT_EQ(in255(surfaceContainerHigh(TervaneTint::carbon)), (std::array<long, 3>{17, 19, 23}));
  EXPECT_EQ(slate.opacity, 1);

  // The inputs' opacities play no part; the mix is opaque.
  const Color top = Color::rgb255(255, 0, 0).withOpacity(0.2);
  const Color bottom = Color::rgb255(0, 0, 255).withOpacity(0.5);
  EXPECT_EQ(composite(top, bottom, 1), Color::rgb255(255, 0, 0));
  EXPECT_EQ(composite(top, bottom, 0), Color::rgb255(0, 0, 255));
}

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
  theme.setTint(TervaneTint::carbon);
  EXPECT_EQ(defaults.writes, 0);

  theme.setTint(TervaneTint::slate);
  theme.setTint(TervaneTint::slate);
  EXPECT_EQ(defaults.writes, 1);
  EXPECT_EQ(defaults.inner.getString("selected_tint_id"), "SLATE");
  EXPECT_EQ(seen, std::vector<TervaneTint>{TervaneTint::slate});
}

}  // namespace tervane
