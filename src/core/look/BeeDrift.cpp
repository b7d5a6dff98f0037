#include "look/BeeDrift.h"

#include <chrono>
#include <cmath>
#include <numbers>

namespace tervane::BeeDrift {
namespace {

constexpr double kReferenceDateUnixSeconds = 978307200;

// The position within a cycle, from 0 up to (not including) 1, for any t.
double phase(double t, double cycle) {
  const double p = std::fmod(t, cycle) / cycle;
  return p < 0 ? p + 1 : p;
}

}  // namespace

double secondsSinceReferenceDate(TimePoint time) {
  const auto sinceEpoch = std::chrono::duration<double>(time.time_since_epoch()).count();
  return sinceEpoch - kReferenceDateUnixSeconds;
}

BeeDriftPose pose(double secondsSinceReference, double containerWidth, double size,
                  double speedMultiplier) {
  const double t = secondsSinceReference * speedMultiplier;

  const double p = phase(t, kFlightCycle);
  const double right = containerWidth + kOverreach;
  const double left = -kOverreach - size;
  BeeDriftPose result;
  double x = 0;
  if (p < 0.5) {
    x = left + 2 * p * (right - left);
    result.mirrored = true;
  } else {
    x = right + (2 * p - 1) * (left - right);
  }

  const double q = phase(t, kBobCycle);
  const double y = (std::sin(2 * std::numbers::pi * q) + 1) * 0.5 * kBobRange + kBobTop;

  result.open = std::fmod(std::floor(t / kWingBeat), 2.0) == 0;
  result.frame = Rect{x, y, size, size};
  return result;
}

}  // namespace tervane::BeeDrift
