#include "look/Motion.h"

#include <algorithm>

namespace tervane::TMacMotion {

double delay(int row) {
  return std::clamp(row * 0.022, 0.0, 0.26);
}

}  // namespace tervane::TMacMotion
