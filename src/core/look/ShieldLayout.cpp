#include "look/ShieldLayout.h"

#include <algorithm>

namespace tervane::ShieldLayout {

double scale(double width, double height) {
  const double raw = std::min(width, height) / kDesignShortSide;
  // Written so that NaN fails the first test and lands on the smallest scale.
  if (!(raw >= kMinScale)) return kMinScale;
  return std::min(raw, kMaxScale);
}

Rect screenFrame(const std::optional<Rect>& mainScreen, const std::vector<Rect>& screens) {
  if (mainScreen) return *mainScreen;
  if (!screens.empty()) return screens.front();
  return kFallbackFrame;
}

}  // namespace tervane::ShieldLayout
