// The bee, the application's only picture, in two poses: wings open and wings closed.
// Each pose is SVG path data in a square 750 units wide; the outline is scaled uniformly
// to the frame it is drawn in and filled with a single colour.
#pragma once

#include <string_view>

#include "look/VectorPath.h"

namespace tervane {

struct BeeShape {
  static constexpr double kDesignSize = 750;

  bool open = true;

  std::string_view pathText() const;
  // The parsed outline in design units.
  const VectorPath& designPath() const;
  // min(width, height) / 750.
  static double scale(const Rect& rect);
  // The outline scaled about the origin; it is not moved to the rectangle's corner, so the
  // drawing view places it.
  VectorPath path(const Rect& rect) const;
};

}  // namespace tervane
