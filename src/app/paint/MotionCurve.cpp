#include "app/paint/MotionCurve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tervane {
namespace {

// The ease-out curve's control points; its ends are (0, 0) and (1, 1).
constexpr double kX1 = 0.0, kY1 = 0.0, kX2 = 0.58, kY2 = 1.0;

double bezier(double t, double p1, double p2) {
  const double u = 1 - t;
  return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

double bezierSlope(double t, double p1, double p2) {
  const double u = 1 - t;
  return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
}

// The curve parameter whose x is `x`, by bisection (x grows monotonically with t).
double parameterFor(double x) {
  double lo = 0, hi = 1;
  for (int i = 0; i < 40; ++i) {
    const double mid = (lo + hi) / 2;
    if (bezier(mid, kX1, kX2) < x) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return (lo + hi) / 2;
}

}  // namespace

MotionCurve::MotionCurve(const Motion& motion, double from, double to, double initialVelocity)
    : motion_(motion), from_(from), to_(to), velocity0_(initialVelocity) {
  if (motion.curve == Motion::Curve::easeOut) {
    duration_ = std::max(0.0, motion.duration);
    return;
  }
  const double response = motion.response > 0 ? motion.response : 0.001;
  omega_ = 2 * std::numbers::pi / response;
  zeta_ = std::max(0.0, motion.dampingFraction);
  if (zeta_ < 1) omegaD_ = omega_ * std::sqrt(1 - zeta_ * zeta_);
  const double decay = zeta_ < 1 ? zeta_ * omega_ : omega_;
  // Undamped springs never settle; cap them, as a view would rather stop than ring on.
  duration_ = decay > 0 ? std::log(1 / kSettledFraction) / decay : 4 * response;
  if (zeta_ >= 1) duration_ *= 1.5;  // the polynomial factor of a critical spring decays late
  if (from == to && initialVelocity == 0) duration_ = 0;
}

double MotionCurve::easeOutProgress(double fraction) const {
  return bezier(parameterFor(fraction), kY1, kY2);
}

double MotionCurve::easeOutSlope(double fraction) const {
  const double t = parameterFor(fraction);
  const double dx = bezierSlope(t, kX1, kX2);
  return dx > 0 ? bezierSlope(t, kY1, kY2) / dx : 0;
}

double MotionCurve::valueAt(double seconds) const {
  if (seconds <= 0) return from_;
  if (seconds >= duration_) return to_;
  if (motion_.curve == Motion::Curve::easeOut) {
    return from_ + (to_ - from_) * easeOutProgress(seconds / duration_);
  }
  const double a = from_ - to_;
  if (zeta_ < 1) {
    const double b = (velocity0_ + zeta_ * omega_ * a) / omegaD_;
    return to_ + std::exp(-zeta_ * omega_ * seconds) *
                     (a * std::cos(omegaD_ * seconds) + b * std::sin(omegaD_ * seconds));
  }
  const double b = velocity0_ + omega_ * a;
  return to_ + (a + b * seconds) * std::exp(-omega_ * seconds);
}

double MotionCurve::velocityAt(double seconds) const {
  if (seconds >= duration_) return 0;
  if (seconds < 0) seconds = 0;
  if (motion_.curve == Motion::Curve::easeOut) {
    return duration_ > 0 ? (to_ - from_) * easeOutSlope(seconds / duration_) / duration_ : 0;
  }
  const double a = from_ - to_;
  if (zeta_ < 1) {
    const double b = (velocity0_ + zeta_ * omega_ * a) / omegaD_;
    const double e = std::exp(-zeta_ * omega_ * seconds);
    const double c = std::cos(omegaD_ * seconds), s = std::sin(omegaD_ * seconds);
    return e * (-zeta_ * omega_ * (a * c + b * s) + omegaD_ * (b * c - a * s));
  }
  const double b = velocity0_ + omega_ * a;
  return (b - omega_ * (a + b * seconds)) * std::exp(-omega_ * seconds);
}

}  // namespace tervane
