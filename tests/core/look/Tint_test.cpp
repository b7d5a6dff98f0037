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

TEST(TervaneTint, RawValuesReadBackOnlyInUpperCaseAndSurfacesMixOverTheBackground) {
  for (const auto tint : TervaneTints::allCases) EXPECT_EQ(tintFromRaw(rawValue(tint)), tint);
  EXPECT_EQ(tintFromRaw("violet"), std::nullopt);
  EXPECT_EQ(tintFromRaw(""), std::nullopt);

  // Colours are fractions of 255; hover surfaces mix over the background.
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

}  // namespace

// The stored tint reads case-insensitively, with carbon for anything else; setting it
// writes and signals only a change.
TEST(ThemeManager, ReadsTheStoredTintCaseInsensitivelyAndWritesOnlyAChange) {
  testing::CountingDefaults defaults;
  Store store(defaults);
  using T = TervaneTint;
  for (const auto& [stored, tint] : {std::pair<nlohmann::json, T>{"violet", T::violet},
                                     {"Ochre", T::ochre}, {"MOSS", T::carbon}, {3, T::carbon}}) {
    defaults.inner.set("selected_tint_id", stored);
    EXPECT_EQ(ThemeManager(store).tint(), tint) << stored;
  }
  defaults.inner.remove("selected_tint_id");
  ThemeManager theme(store);
  EXPECT_EQ(theme.tint(), TervaneTint::carbon);
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
