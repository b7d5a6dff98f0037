// The person's one line as a stored task. Only the identity, the text and the two times
// carry meaning here; the other fields are kept so that a stored task round-trips
// unchanged.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Clock.h"

namespace tervane {

struct AttentionTask {
  std::string id;
  std::string textContent;
  std::string timestampPushed;
  std::optional<std::string> timestampMigrated;
  std::string area = "Personal";
  std::vector<std::string> tags;
  std::string shape = "craft";
  std::string est;
  bool friction = false;
  std::optional<std::string> microStep;
  int questionProgress = 0;
  std::vector<std::string> answersList;
  std::optional<std::string> becameNowAt;
  std::optional<std::string> clearedAt;

  // A new task: fresh upper-case UUID, pushed now (whole seconds), every other field at
  // its default. The caller trims the text.
  static AttentionTask make(std::string textContent, const Clock& clock);
  // A new task that is the current line from this moment: as `make`, with `becameNowAt`
  // the same stamp as `timestampPushed`.
  static AttentionTask makeNow(std::string textContent, const Clock& clock);

  friend bool operator==(const AttentionTask&, const AttentionTask&) = default;
};

// JSON keyed by the field names; absent optionals are left out. Decoding treats a null
// or missing optional as absent and gives none when a required field is missing or has
// the wrong type.
nlohmann::json toJson(const AttentionTask& task);
std::optional<AttentionTask> decodeAttentionTask(const nlohmann::json& json);

}  // namespace tervane
