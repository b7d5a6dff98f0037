// The small bee that drifts across the walk-through, as a pure function of the wall clock:
// a 26-second flight right and back, a 5.5-second bob between 28 and 46 points from the
// top, and a wing beat every 0.208 seconds. The view only draws the pose it is given.
#pragma once

#include "base/Clock.h"
#include "look/VectorPath.h"

namespace tervane {

struct BeeDriftPose {
  Rect frame;             // size × size, top-left corner at the bee's position
  bool mirrored = false;  // flipped horizontally while flying right
  bool open = true;       // wing pose

  Point centre() const { return {frame.x + frame.width / 2, frame.y + frame.height / 2}; }
};

namespace BeeDrift {
inline constexpr double kFlightCycle = 26;
inline constexpr double kBobCycle = 5.5;
inline constexpr double kBobTop = 28;
inline constexpr double kBobRange = 18;
inline constexpr double kWingBeat = 0.208;
// How far beyond either edge the bee turns.
inline constexpr double kOverreach = 4;

// Seconds since 2001-01-01 00:00:00 UTC, the clock the drift is timed by.
double secondsSinceReferenceDate(TimePoint time);

BeeDriftPose pose(double secondsSinceReference, double containerWidth, double size,
                  double speedMultiplier);
inline BeeDriftPose pose(TimePoint time, double containerWidth, double size,
                         double speedMultiplier) {
  return pose(secondsSinceReferenceDate(time), containerWidth, size, speedMultiplier);
}
}  // namespace BeeDrift

}  // namespace tervane
