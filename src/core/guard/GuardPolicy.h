// Decides, for one thing that came forward during a stage, whether to leave it alone or to
// raise the shield for the stowed item it is. Pure: the session model hands in the trigger,
// the open stage and its own flags; nothing is read or changed here.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <variant>

#include "stage/StageRecords.h"

namespace tervane {

// What the policy answers: leave it be (with why), or shield one stowed item.
struct GuardVerdict {
  enum class Reason { noOpenStage, notOurs, alreadyPassed, parked, tervaneIsMoving, evidenceOnly };

  static GuardVerdict letBe(Reason reason) { return GuardVerdict(reason); }
  static GuardVerdict shield(StageItem item) { return GuardVerdict(std::move(item)); }

  bool isShield() const { return std::holds_alternative<StageItem>(value_); }
  // The reason of a let-be verdict; none for a shield.
  std::optional<Reason> reason() const;
  // The item of a shield verdict; null for a let-be. Valid while the verdict lives.
  const StageItem* item() const { return std::get_if<StageItem>(&value_); }

  friend bool operator==(const GuardVerdict&, const GuardVerdict&) = default;

 private:
  explicit GuardVerdict(std::variant<Reason, StageItem> value) : value_(std::move(value)) {}
  std::variant<Reason, StageItem> value_;
};

std::string rawValue(GuardVerdict::Reason reason);

namespace GuardPolicy {

// What came forward: an application (by bundle identifier), or a browser window the stage
// minimized that was found in front (by its stage item id).
struct Trigger {
  enum class Kind { app, window };
  Kind kind = Kind::app;
  std::string id;

  static Trigger app(std::string bundleId) { return Trigger{Kind::app, std::move(bundleId)}; }
  static Trigger window(std::string itemId) { return Trigger{Kind::window, std::move(itemId)}; }

  friend bool operator==(const Trigger&, const Trigger&) = default;
};

// `passed`: ids the person let through during this open period of the stage.
// The rules apply in a fixed order and the first that applies wins: no stage, the
// system's own moves, a parked stage, not a stowed item, a tab, already let through.
GuardVerdict decide(const Trigger& trigger, const std::optional<StageSnapshot>& stage,
                    const std::set<std::string>& passed, bool isParked, bool isTervaneMoving);

}  // namespace GuardPolicy

}  // namespace tervane
