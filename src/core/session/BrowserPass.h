// The browser half of staging, read off the main thread: every running browser's windows
// (where this application may control it), the browsers that refused, did not answer or
// still need consent, and the tab names the picker chose. These functions touch no model
// state; they block on the browsers within the lanes' time limits.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "stage/ActPicker.h"
#include "stage/StageRecords.h"
#include "surfaces/BrowserSurfacing.h"

namespace tervane {

struct BrowserPass {
  std::vector<WindowFacts> windows;
  std::vector<BrowserKind> denied;
  std::vector<BrowserKind> busy;
  std::vector<BrowserKind> needConsent;
  // Browsers read, but through their windows alone.
  std::vector<BrowserKind> windowsOnly;
  std::optional<std::set<std::string>> wantedTabs;

  friend bool operator==(const BrowserPass&, const BrowserPass&) = default;
};

// What the picker chose before staging: the pass, the wanted app names (none without an
// answer) and the bundle identifiers of browsers holding a chosen tab.
struct PickedBeforeStaging {
  BrowserPass pass;
  std::optional<std::set<std::string>> wantedApps;
  std::set<std::string> wantedBrowsers;
};

namespace BrowserPasses {

inline constexpr const char* kAppPrefix = "app: ";
inline constexpr const char* kTabPrefix = "tab: ";

// Asks each running browser's permission silently and reads the allowed ones.
BrowserPass readAllowed(const std::vector<BrowserKind>& running, BrowserSurfacing& browsers);
// Reads one browser into the pass; refusals land in `denied` or `busy`.
void read(BrowserKind kind, BrowserSurfacing& browsers, BrowserPass& pass);
// Offers the tabs of the windows that are not minimized to the picker.
void pickTabs(const std::string& line, ActPicking& picker, BrowserPass& pass);
// Asks consent of each browser in turn and reads those that allow it, then picks tabs.
BrowserPass askConsentAndRead(const std::vector<BrowserKind>& kinds, BrowserSurfacing& browsers,
                              ActPicking& picker, const std::string& line);
// Reads the allowed browsers and asks the picker about apps and tabs together.
PickedBeforeStaging readAndPick(const std::vector<BrowserKind>& running, BrowserSurfacing& browsers,
                                const std::vector<std::string>& appNames, ActPicking& picker,
                                const std::string& line);

// The readable names of every tab of the windows that are not minimized, first
// occurrence first, without duplicates.
std::vector<std::string> tabNames(const std::vector<WindowFacts>& windows);

}  // namespace BrowserPasses
}  // namespace tervane
