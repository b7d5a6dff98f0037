#include "guard/GuardPolicy.h"

#include <algorithm>

namespace tervane {

std::optional<GuardVerdict::Reason> GuardVerdict::reason() const {
  if (const auto* reason = std::get_if<Reason>(&value_)) return *reason;
  return std::nullopt;
}

std::string rawValue(GuardVerdict::Reason reason) {
  switch (reason) {
    case GuardVerdict::Reason::noOpenStage:
      return "noOpenStage";
    case GuardVerdict::Reason::notOurs:
      return "notOurs";
    case GuardVerdict::Reason::alreadyPassed:
      return "alreadyPassed";
    case GuardVerdict::Reason::parked:
      return "parked";
    case GuardVerdict::Reason::tervaneIsMoving:
      return "tervaneIsMoving";
    case GuardVerdict::Reason::evidenceOnly:
      return "evidenceOnly";
  }
  return "";
}

namespace GuardPolicy {
namespace {

// The stowed item the trigger refers to, first match in stage order. An app trigger only
// matches app items, so a bundle identifier that happens to equal a window id is not ours.
const StageItem* subject(const Trigger& trigger, const std::vector<StageItem>& stowed) {
  const auto found = std::find_if(stowed.begin(), stowed.end(), [&](const StageItem& item) {
    if (trigger.kind == Trigger::Kind::app && item.kind != StageItem::Kind::app) return false;
    return item.id == trigger.id;
  });
  return found == stowed.end() ? nullptr : &*found;
}

}  // namespace

GuardVerdict decide(const Trigger& trigger, const std::optional<StageSnapshot>& stage,
                    const std::set<std::string>& passed, bool isParked, bool isTervaneMoving) {
  using Reason = GuardVerdict::Reason;
  if (!stage) return GuardVerdict::letBe(Reason::noOpenStage);
  if (isTervaneMoving) return GuardVerdict::letBe(Reason::tervaneIsMoving);
  if (isParked) return GuardVerdict::letBe(Reason::parked);
  const StageItem* item = subject(trigger, stage->stowed);
  if (!item) return GuardVerdict::letBe(Reason::notOurs);
  // A tab goes and comes with its window; it is evidence, never asked about on its own.
  if (item->kind == StageItem::Kind::tab) return GuardVerdict::letBe(Reason::evidenceOnly);
  if (passed.count(item->id)) return GuardVerdict::letBe(Reason::alreadyPassed);
  return GuardVerdict::shield(*item);
}

}  // namespace GuardPolicy

}  // namespace tervane
