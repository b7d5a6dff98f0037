#include "stage/StagePlanner.h"

#include <cmath>
#include <limits>

namespace tervane {

std::string rawValue(StagePlanner::Remembered choice) {
  return choice == StagePlanner::Remembered::keep ? "keep" : "stow";
}

std::optional<StagePlanner::Remembered> rememberedFromRaw(std::string_view raw) {
  if (raw == "keep") return StagePlanner::Remembered::keep;
  if (raw == "stow") return StagePlanner::Remembered::stow;
  return std::nullopt;
}

std::vector<StageItem> WindowPlan::keptItems() const {
  std::vector<StageItem> items;
  for (const auto& w : kept) {
    auto more = StageItem::forWindow(w);
    items.insert(items.end(), std::make_move_iterator(more.begin()),
                 std::make_move_iterator(more.end()));
  }
  return items;
}

std::vector<StageItem> WindowPlan::stowedItems() const {
  std::vector<StageItem> items;
  for (const auto& w : stowed) {
    auto more = StageItem::forWindow(w);
    items.insert(items.end(), std::make_move_iterator(more.begin()),
                 std::make_move_iterator(more.end()));
  }
  return items;
}

std::map<BrowserKind, std::vector<std::int64_t>> WindowPlan::stowByBrowser() const {
  std::map<BrowserKind, std::vector<std::int64_t>> groups;
  for (const auto& w : stowed) groups[w.browser].push_back(w.windowId);
  return groups;
}

namespace StagePlanner {
namespace {

constexpr const char* kMemorySuffix = " Some of that is what you told me last time.";

bool isStaleByRecency(const AppFacts& app, const SeedRule& rule) {
  // An application the activation log never saw counts as older than any window.
  const double age = app.secondsSinceLastUse.value_or(std::numeric_limits<double>::max());
  return age > rule.recencyWindow;
}

std::string windowSentence(const std::vector<WindowFacts>& stowed, bool usedMemory) {
  if (stowed.empty()) return "";
  std::size_t tabs = 0;
  for (const auto& w : stowed) tabs += w.tabs.size();
  const std::size_t windows = stowed.size();
  const bool oneTab = tabs == 1;
  std::string sentence = "The " + std::to_string(tabs) + " tab" + (oneTab ? "" : "s") + " in " +
                         (windows == 1 ? std::string("that window")
                                       : "those " + std::to_string(windows) + " windows") +
                         (oneTab ? " is" : " are") + " still open, exactly where you left " +
                         (oneTab ? "it." : "them.");
  if (usedMemory) sentence += kMemorySuffix;
  return sentence;
}

}  // namespace

StagePlan plan(const std::vector<AppFacts>& apps, const SeedRule& rule, double humanIdleSeconds,
               const RememberedChoices& remembered,
               const std::optional<std::set<std::string>>& wanted,
               const std::set<std::string>& wantedBrowsers) {
  StagePlan result;
  if (rule.meetingVeto <= humanIdleSeconds) {
    for (const auto& app : apps) result.kept.push_back(StageItem::app(app.bundleId, app.name));
    result.because = "You have been away a while, so nothing was put away.";
    return result;
  }

  bool usedMemory = false;
  bool wantedDecided = false;
  for (const auto& app : apps) {
    bool keep;
    if (app.isFrontmost || !app.canHide) {
      keep = true;
    } else if (auto it = remembered.find(app.bundleId); it != remembered.end()) {
      keep = it->second == Remembered::keep;
      usedMemory = true;
    } else if (!wanted) {
      keep = !isStaleByRecency(app, rule);
    } else if (BrowserKinds::is(app.bundleId)) {
      // A browser is never put away just for missing from the wanted names: its windows
      // are judged one by one later.
      keep = wantedBrowsers.count(app.bundleId) > 0 || !isStaleByRecency(app, rule);
    } else {
      wantedDecided = true;
      keep = wanted->count(app.name) > 0;
    }
    (keep ? result.kept : result.stowed).push_back(StageItem::app(app.bundleId, app.name));
  }

  if (result.stowed.empty()) {
    result.because = "There was nothing to hide. Your screen was already clear.";
  } else if (wantedDecided) {
    result.because = "They are not part of what you are doing right now.";
  } else {
    const auto minutes = static_cast<long long>(std::trunc(rule.recencyWindow / 60.0));
    result.because = "You had not used them in the last " + std::to_string(minutes) + " minutes.";
  }
  if (usedMemory) result.because += kMemorySuffix;
  return result;
}

WindowPlan planWindows(const std::vector<WindowFacts>& windows,
                       const std::set<std::string>& stowedAppIds, const SeedRule& rule,
                       double humanIdleSeconds, const RememberedChoices& remembered,
                       const std::optional<std::set<std::string>>& wantedTabs) {
  WindowPlan result;
  if (rule.meetingVeto <= humanIdleSeconds) {
    result.kept = windows;
    return result;
  }

  bool usedMemory = false;
  for (const auto& window : windows) {
    if (stowedAppIds.count(bundleId(window.browser)) > 0) continue;  // hidden with its app
    if (window.isMinimized || window.tabs.empty()) continue;
    if (window.isFrontmost) {
      result.kept.push_back(window);
      continue;
    }

    bool rememberedKeep = false, rememberedStow = false;
    for (const auto& host : window.hosts()) {
      auto it = remembered.find(hostKey(host));
      if (it == remembered.end()) continue;
      (it->second == Remembered::keep ? rememberedKeep : rememberedStow) = true;
    }
    if (rememberedKeep || rememberedStow) {
      // Keep beats stow: hiding a window the person asked to keep costs more than
      // leaving one they would have put away.
      usedMemory = true;
      (rememberedKeep ? result.kept : result.stowed).push_back(window);
      continue;
    }

    bool wanted = false;
    if (wantedTabs) {
      for (const auto& tab : window.tabs) {
        if (wantedTabs->count(tab.readableName()) > 0) {
          wanted = true;
          break;
        }
      }
    }
    (wanted ? result.kept : result.stowed).push_back(window);
  }
  result.because = windowSentence(result.stowed, usedMemory);
  return result;
}

}  // namespace StagePlanner
}  // namespace tervane
