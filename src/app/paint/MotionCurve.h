// The look's motions as curves in time: an ease-out (the cubic Bézier 0, 0, 0.58, 1) over
// its duration, or a spring given by its response (the period of the undamped oscillation,
// in seconds) and damping fraction, which starts from the value's present velocity so an
// animation retargeted mid-way carries on smoothly. Pure arithmetic; the animation classes
// sample it.
#pragma once

#include "look/Motion.h"

namespace tervane {

class MotionCurve {
 public:
  // A spring counts as settled once its swing has decayed to a thousandth of its start.
  static constexpr double kSettledFraction = 0.001;

  MotionCurve(const Motion& motion, double from, double to, double initialVelocity = 0);

  // Seconds until the value comes to rest at `to`.
  double duration() const { return duration_; }
  // The value `seconds` after the start; `to` from `duration()` on.
  double valueAt(double seconds) const;
  // Units per second at that moment; 0 from `duration()` on.
  double velocityAt(double seconds) const;

  double from() const { return from_; }
  double to() const { return to_; }

 private:
  double easeOutProgress(double fraction) const;
  double easeOutSlope(double fraction) const;

  Motion motion_;
  double from_;
  double to_;
  double velocity0_;
  double duration_ = 0;
  // Spring: angular frequency, damping fraction (clamped below 1 to an underdamped swing,
  // at or above it critically damped), damped frequency.
  double omega_ = 0;
  double zeta_ = 0;
  double omegaD_ = 0;
};

}  // namespace tervane
