// The look's motions as curves and as animations driven by the animation clock.
#include <gtest/gtest.h>

#include <cmath>

#include "app/paint/AnimatedValue.h"
#include "app/paint/MotionCurve.h"
#include "support/QtTestApp.h"

namespace tervane::testing {
namespace {

// The first moment the curve turns back, sampled every millisecond.
double firstPeak(const MotionCurve& curve) {
  for (double t = 0.001; t < curve.duration(); t += 0.001) {
    if (curve.velocityAt(t) <= 0) return t;
  }
  return curve.duration();
}

TEST(MotionCurve, SpringsSwingWithTheirResponseAndComeToRest) {
  // Response is the period of the undamped swing: the first peak of a spring with
  // damping fraction ζ comes at response / (2 √(1 − ζ²)).
  for (const Motion& motion : {TMacMotion::state, TMacMotion::panel}) {
    const MotionCurve curve(motion, 0, 1);
    const double zeta = motion.dampingFraction;
    EXPECT_NEAR(firstPeak(curve), motion.response / (2 * std::sqrt(1 - zeta * zeta)), 0.003);
    const double peak = curve.valueAt(firstPeak(curve));
    EXPECT_GT(peak, 1);  // a spring, not an ease: it overshoots a little
    EXPECT_LT(peak, 1.01);
  }
  // Every spring comes to rest within a second, close to its target before it snaps there.
  for (const Motion& motion : {TMacMotion::state, TMacMotion::settle, TMacMotion::page,
                               TMacMotion::panel, TMacMotion::line}) {
    const MotionCurve curve(motion, 0, 1);
    EXPECT_NEAR(curve.valueAt(curve.duration() * 0.999), 1, 0.003);
    EXPECT_EQ(curve.valueAt(curve.duration()), 1);
    EXPECT_LT(curve.duration(), 1.0);
  }
}

TEST(MotionCurve, EaseOutIsFrontLoadedAndEndsOnTime) {
  const MotionCurve curve(TMacMotion::hover, 10, 20);
  EXPECT_DOUBLE_EQ(curve.duration(), 0.12);
  EXPECT_EQ(curve.valueAt(0), 10);
  const double half = curve.valueAt(0.06);
  EXPECT_GT(half, 16);
  EXPECT_LT(half, 18);
  double last = 10;
  for (double t = 0.005; t <= 0.12; t += 0.005) {
    EXPECT_GE(curve.valueAt(t), last);
    last = curve.valueAt(t);
  }
  EXPECT_EQ(curve.valueAt(0.12), 20);
}

TEST(AnimatedValue, WaitsForItsDelayAndKeepsItsSpeedWhenRetargeted) {
  auto& clock = AnimationClock::instance();
  AnimatedValue delayed(0);
  delayed.animateTo(1, TMacMotion::settle, TMacMotion::delay(20));
  clock.advance(0.25);
  EXPECT_EQ(delayed.value(), 0);  // row 20 waits 0.26 s, not 0.44
  clock.advance(0.05);
  EXPECT_GT(delayed.value(), 0);
  clock.settle();
  EXPECT_EQ(delayed.value(), 1);
  EXPECT_FALSE(delayed.isAnimating());

  // Turned back while rising, a spring rises on for a moment before it falls.
  AnimatedValue turned(0);
  turned.animateTo(1, TMacMotion::state);
  clock.advance(0.05);
  const double atTurn = turned.value();
  turned.animateTo(0, TMacMotion::state);
  clock.advance(0.016);
  EXPECT_GT(turned.value(), atTurn);
  clock.settle();
  EXPECT_EQ(turned.value(), 0);
}

}  // namespace
}  // namespace tervane::testing
