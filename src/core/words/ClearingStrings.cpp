#include "words/ClearingStrings.h"

namespace tervane::ClearingStrings {

std::string shieldHeadline(std::string_view line) {
  if (line.empty()) return "Whatever you are doing.";
  return std::string(line);
}

}  // namespace tervane::ClearingStrings
