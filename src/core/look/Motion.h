// The shared motions of the look as data: an ease-out curve with a duration, or a spring
// with a response and a damping fraction. The views turn them into their own animations.
#pragma once

namespace tervane {

struct Motion {
  enum class Curve { easeOut, spring };

  Curve curve = Curve::easeOut;
  double duration = 0;  // seconds; ease-out only
  double response = 0;  // seconds; spring only
  double dampingFraction = 0;

  static constexpr Motion easeOut(double seconds) { return Motion{Curve::easeOut, seconds, 0, 0}; }
  static constexpr Motion spring(double response, double damping) {
    return Motion{Curve::spring, 0, response, damping};
  }

  friend bool operator==(const Motion&, const Motion&) = default;
};

namespace TMacMotion {
// Hover highlights and the focus underline.
inline constexpr Motion hover = Motion::easeOut(0.12);
// Small state changes: the bee opening and closing, a window row's disclosure.
inline constexpr Motion state = Motion::spring(0.28, 0.86);
// Card assembly and row entrance.
inline constexpr Motion settle = Motion::spring(0.42, 0.92);
inline constexpr Motion scrimIn = Motion::easeOut(0.26);
// Walk-through page changes.
inline constexpr Motion page = Motion::spring(0.5, 0.95);
inline constexpr Motion panel = Motion::spring(0.48, 0.9);
inline constexpr Motion line = Motion::spring(0.46, 0.92);

// The stagger of a row's entrance: 0.022 s per row, never more than 0.26 s.
double delay(int row);
}  // namespace TMacMotion

}  // namespace tervane
