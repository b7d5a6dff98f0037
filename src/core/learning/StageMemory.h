// What the person told the system before: keep or put away, per application (by bundle
// identifier) and per web host ("host:" + host). Applied to later stages ahead of the
// picker and the recency rule. Stored in the standard defaults under "mac_stage_memory".
#pragma once

#include <string>
#include <string_view>

#include "base/Defaults.h"
#include "stage/StagePlanner.h"

namespace tervane {

class StageMemory {
 public:
  static constexpr const char* kDefaultsKey = "mac_stage_memory";

  explicit StageMemory(Defaults& defaults);
  StageMemory(const StageMemory&) = delete;
  StageMemory& operator=(const StageMemory&) = delete;

  const RememberedChoices& choices() const { return choices_; }

  // Sets the choice for the key, replacing any earlier one, and stores the whole map.
  void remember(StagePlanner::Remembered choice, const std::string& key);
  // Drops one key and stores the map; nothing happens for a key that is not there.
  void forget(const std::string& key);
  // Stores the map as it is.
  void save();

  static std::string hostKey(std::string_view host) { return tervane::hostKey(host); }

 private:
  Defaults& defaults_;
  RememberedChoices choices_;
};

}  // namespace tervane
