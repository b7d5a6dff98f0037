#include "learning/StageMemory.h"

namespace tervane {

StageMemory::StageMemory(Defaults& defaults) : defaults_(defaults) {
  auto stored = defaults_.get(kDefaultsKey);
  if (!stored || !stored->is_object()) return;
  for (const auto& [key, value] : stored->items()) {
    if (!value.is_string()) return;  // not a dictionary of strings: ignore it whole
  }
  for (const auto& [key, value] : stored->items()) {
    if (auto choice = rememberedFromRaw(value.get<std::string>())) choices_[key] = *choice;
  }
}

void StageMemory::remember(StagePlanner::Remembered choice, const std::string& key) {
  choices_[key] = choice;
  save();
}

void StageMemory::forget(const std::string& key) {
  if (choices_.erase(key) == 0) return;
  save();
}

void StageMemory::save() {
  auto object = nlohmann::json::object();
  for (const auto& [key, choice] : choices_) object[key] = rawValue(choice);
  defaults_.set(kDefaultsKey, std::move(object));
}

}  // namespace tervane
