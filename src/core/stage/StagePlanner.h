// Decides, for one stage, which running applications stay on screen and which are put
// away, and later which browser windows stay and which are minimized, with the one reason
// sentence the card shows. Pure: values in, values out; no clock, no state.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "stage/StageRecords.h"

namespace tervane {

namespace StagePlanner {

// A remembered choice, keyed by bundle identifier or by "host:" + web host.
enum class Remembered { keep, stow };

}  // namespace StagePlanner

std::string rawValue(StagePlanner::Remembered choice);
std::optional<StagePlanner::Remembered> rememberedFromRaw(std::string_view raw);

using RememberedChoices = std::map<std::string, StagePlanner::Remembered>;

// The key a browser window's choice is remembered under: "host:" + host, nothing else done.
inline std::string hostKey(std::string_view host) { return "host:" + std::string(host); }

struct StagePlan {
  std::vector<StageItem> kept;
  std::vector<StageItem> stowed;
  std::string because;
};

struct WindowPlan {
  std::vector<WindowFacts> kept;
  std::vector<WindowFacts> stowed;
  std::string because;

  // Each window's item followed by its tab items, in order.
  std::vector<StageItem> keptItems() const;
  std::vector<StageItem> stowedItems() const;
  // Window ids of `stowed`, grouped by browser in the order they appear.
  std::map<BrowserKind, std::vector<std::int64_t>> stowByBrowser() const;
};

namespace StagePlanner {

// `wanted`: the application names the picker chose, or none when it was not asked or
// gave no answer. `wantedBrowsers`: bundle identifiers of browsers holding a chosen tab.
StagePlan plan(const std::vector<AppFacts>& apps, const SeedRule& rule, double humanIdleSeconds,
               const RememberedChoices& remembered,
               const std::optional<std::set<std::string>>& wanted,
               const std::set<std::string>& wantedBrowsers);

// `stowedAppIds`: the applications this stage put away; their windows are left alone.
// `wantedTabs`: the tab names the picker chose, or none.
WindowPlan planWindows(const std::vector<WindowFacts>& windows,
                       const std::set<std::string>& stowedAppIds, const SeedRule& rule,
                       double humanIdleSeconds, const RememberedChoices& remembered,
                       const std::optional<std::set<std::string>>& wantedTabs);

}  // namespace StagePlanner

}  // namespace tervane
