#include "look/Tint.h"

#include <gtest/gtest.h>

#include <cmath>

#include "look/Motion.h"

namespace tervane {
namespace {

std::array<long, 3> in255(const Color& c) {
  return {std::lround(c.red * 255), std::lround(c.green * 255), std::lround(c.blue * 255)};
}

}  // namespace

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

TEST(TMacMotion, RowDelaysStaggerBy22MillisecondsUpTo260) {
  EXPECT_DOUBLE_EQ(TMacMotion::delay(0), 0);
  EXPECT_DOUBLE_EQ(TMacMotion::delay(3), 0.066);
  EXPECT_DOUBLE_EQ(TMacMotion::delay(20), 0.26);
}

}  // namespace tervane
