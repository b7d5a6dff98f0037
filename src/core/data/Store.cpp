#include "data/Store.h"

#include "base/Json.h"

namespace tervane {

std::optional<AttentionTask> Store::theNow() const {
  auto text = defaults_.getString(kTheNowTaskKey);
  if (!text) return std::nullopt;
  auto parsed = jsonread::parse(*text);
  if (!parsed) return std::nullopt;
  return decodeAttentionTask(*parsed);
}

void Store::setTheNow(const std::optional<AttentionTask>& task) {
  if (!task) {
    defaults_.remove(kTheNowTaskKey);
    return;
  }
  defaults_.set(kTheNowTaskKey, jsonread::dumpText(toJson(*task)));
}

bool Store::hasSeenMacFirstRun() const {
  return defaults_.getBool(kHasSeenFirstRunKey).value_or(false);
}

void Store::setHasSeenMacFirstRun(bool seen) {
  defaults_.set(kHasSeenFirstRunKey, seen);
}

std::string Store::selectedTintId() const {
  return defaults_.getString(kSelectedTintKey).value_or(kDefaultTintId);
}

void Store::setSelectedTintId(const std::string& tintId) {
  defaults_.set(kSelectedTintKey, tintId);
}

}  // namespace tervane
