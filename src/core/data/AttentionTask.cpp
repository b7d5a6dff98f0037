#include "data/AttentionTask.h"

#include "base/ISOTime.h"
#include "base/Json.h"
#include "base/Uuid.h"

namespace tervane {
using nlohmann::json;
namespace J = tervane::jsonread;

AttentionTask AttentionTask::make(std::string textContent, const Clock& clock) {
  AttentionTask task;
  task.id = newUuid();
  task.textContent = std::move(textContent);
  task.timestampPushed = ISOTime::now(clock);
  return task;
}

AttentionTask AttentionTask::makeNow(std::string textContent, const Clock& clock) {
  AttentionTask task = make(std::move(textContent), clock);
  task.becameNowAt = task.timestampPushed;
  return task;
}

json toJson(const AttentionTask& t) {
  json object = {{"id", t.id},
                 {"textContent", t.textContent},
                 {"timestampPushed", t.timestampPushed},
                 {"area", t.area},
                 {"tags", t.tags},
                 {"shape", t.shape},
                 {"est", t.est},
                 {"friction", t.friction},
                 {"questionProgress", t.questionProgress},
                 {"answersList", t.answersList}};
  if (t.timestampMigrated) object["timestampMigrated"] = *t.timestampMigrated;
  if (t.microStep) object["microStep"] = *t.microStep;
  if (t.becameNowAt) object["becameNowAt"] = *t.becameNowAt;
  if (t.clearedAt) object["clearedAt"] = *t.clearedAt;
  return object;
}

namespace {

std::vector<std::string> readStrings(const json& j) {
  if (!j.is_array()) throw J::ShapeError{};
  std::vector<std::string> out;
  out.reserve(j.size());
  for (const auto& element : j) out.push_back(J::string(element));
  return out;
}

AttentionTask readTask(const json& j) {
  AttentionTask t;
  t.id = J::string(J::required(j, "id"));
  t.textContent = J::string(J::required(j, "textContent"));
  t.timestampPushed = J::string(J::required(j, "timestampPushed"));
  t.timestampMigrated = J::optional(j, "timestampMigrated", J::string);
  t.area = J::string(J::required(j, "area"));
  t.tags = readStrings(J::required(j, "tags"));
  t.shape = J::string(J::required(j, "shape"));
  t.est = J::string(J::required(j, "est"));
  t.friction = J::boolean(J::required(j, "friction"));
  t.microStep = J::optional(j, "microStep", J::string);
  t.questionProgress = J::smallInteger(J::required(j, "questionProgress"));
  t.answersList = readStrings(J::required(j, "answersList"));
  t.becameNowAt = J::optional(j, "becameNowAt", J::string);
  t.clearedAt = J::optional(j, "clearedAt", J::string);
  return t;
}

}  // namespace

std::optional<AttentionTask> decodeAttentionTask(const json& j) {
  return J::tryDecode<AttentionTask>([&] { return readTask(j); });
}

}  // namespace tervane
