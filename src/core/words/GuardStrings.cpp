#include "words/GuardStrings.h"

namespace tervane::GuardStrings {

std::string youPutThisAway(std::string_view itemName) {
  return "You hid " + std::string(itemName) + " for this one.";
}

}  // namespace tervane::GuardStrings
