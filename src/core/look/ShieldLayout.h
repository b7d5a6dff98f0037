// The shield's geometry that does not depend on drawing: the rectangle it covers and the
// scale all of its lengths are multiplied by.
#pragma once

#include <optional>
#include <vector>

#include "look/VectorPath.h"

namespace tervane::ShieldLayout {

inline constexpr double kDesignShortSide = 640;
inline constexpr double kMinScale = 1.15;
inline constexpr double kMaxScale = 1.4;
// Covered when no screen is attached at all.
inline constexpr Rect kFallbackFrame{0, 0, 1280, 800};

// min(width, height) / 640, raised to at least 1.15, then lowered to at most 1.4. A size
// that is not a number gives the smallest scale.
double scale(double width, double height);

// The whole frame of the main screen, else of the first screen, else the fallback.
Rect screenFrame(const std::optional<Rect>& mainScreen, const std::vector<Rect>& screens);

}  // namespace tervane::ShieldLayout
