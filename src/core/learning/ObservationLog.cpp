#include "learning/ObservationLog.h"

#include "base/Text.h"

namespace tervane::ObservationLog {
namespace {

using StagePlanner::Remembered;

constexpr std::size_t kLongestLine = 40;
constexpr const char* kEllipsis = "\u2026";

bool holds(const RememberedChoices& remembered, const std::string& id, Remembered choice) {
  const auto found = remembered.find(id);
  return found != remembered.end() && found->second == choice;
}

std::string names(const std::vector<StageItem>& items) {
  switch (items.size()) {
    case 0:
      return "";
    case 1:
      return items[0].name;
    case 2:
      return items[0].name + " and " + items[1].name;
    case 3:
      return items[0].name + ", " + items[1].name + " and " + items[2].name;
    default:
      return items[0].name + ", " + items[1].name + " and the others";
  }
}

std::string when(const std::string& actionText) {
  std::string line = Text::trimmed(actionText);
  if (line.empty()) return "last time";
  if (Text::characterCount(line) > kLongestLine) {
    line = Text::prefix(line, kLongestLine - 1) + kEllipsis;
  }
  return "while you were on " + line;
}

// Upper-cases the first character when it is an ASCII letter; the phrases `when` builds
// always begin with one.
std::string capitalised(const std::string& text) {
  const std::string first = Text::prefix(text, 1);
  return Text::asciiUpper(first) + text.substr(first.size());
}

std::string itOrThem(const std::vector<StageItem>& items) {
  return items.size() == 1 ? "it" : "them";
}

}  // namespace

Observation observe(const StageSnapshot& stage,
                    const std::function<bool(const std::string& bundleId)>& wasReachedFor,
                    const std::set<std::string>& stowable, const RememberedChoices& remembered) {
  std::set<std::string> reached;
  for (const auto& event : stage.events()) {
    if (event.letThrough) reached.insert(event.itemId);
  }

  Observation observation;
  observation.actionText = stage.actionText;
  for (const auto& item : stage.kept) {
    if (item.kind != StageItem::Kind::app) continue;
    if (reached.count(item.id)) {
      if (!holds(remembered, item.id, Remembered::keep)) observation.keepNextTime.push_back(item);
      continue;
    }
    // An app let back in through the shield was reached for, so it is never proposed for
    // hiding; the costlier usage test comes last.
    if (!stowable.count(item.id)) continue;
    if (holds(remembered, item.id, Remembered::stow)) continue;
    if (!wasReachedFor || wasReachedFor(item.id)) continue;
    observation.putAwayNextTime.push_back(item);
  }
  return observation;
}

std::optional<Prompt> prompt(const Observation& observation) {
  const auto& putAway = observation.putAwayNextTime;
  const auto& keep = observation.keepNextTime;
  if (putAway.empty() && keep.empty()) return std::nullopt;

  const std::string p = names(putAway);
  const std::string k = names(keep);
  const std::string w = when(observation.actionText);
  if (putAway.empty()) {
    return Prompt{capitalised(w) + " I hid " + k + " and you went and got " + itOrThem(keep) +
                      " back. Should I stop hiding " + k + "?",
                  "Stop hiding " + k, "Keep hiding"};
  }
  if (!keep.empty()) {
    return Prompt{capitalised(w) + " you did not open " + p + ", and you went and got " + k +
                      " back. Next time, should I hide " + p + " and leave " + k +
                      " on your screen?",
                  "Yes, do that", "Not this time"};
  }
  return Prompt{"You did not open " + p + " at all " + w + ". Should I hide " + itOrThem(putAway) +
                    " for you next time, right at the start?",
                "Yes, hide next time", "No, leave alone"};
}

}  // namespace tervane::ObservationLog
