// The session model's view of the browsers: which run, whether this application may
// control them, their windows and tabs, and moving their windows. Every call that reaches
// a browser blocks its thread within the lane's time limits (3 seconds for the permission
// query plus 8 for the script).
#pragma once

#include <cstdint>
#include <vector>

#include "stage/BrowserKind.h"
#include "stage/StageRecords.h"
#include "surfaces/AppleScriptError.h"
#include "surfaces/BrowserAuthorization.h"

namespace tervane {

class BrowserSurfacing {
 public:
  virtual ~BrowserSurfacing() = default;

  // In the order chrome, safari, brave, edge, firefox.
  virtual std::vector<BrowserKind> runningBrowsers() = 0;
  // The silent permission query; never asks the person.
  virtual BrowserAuthorization authorization(BrowserKind kind) = 0;
  // May show the platform's consent prompt and wait for the person.
  virtual BrowserAuthorization requestConsent(BrowserKind kind) = 0;

  // The browser's windows that have tabs, front to back.
  virtual AppleScriptResult<std::vector<WindowFacts>> windows(BrowserKind kind) = 0;
  // How many of the windows were set; ids that no longer exist are skipped.
  virtual AppleScriptResult<int> minimize(const std::vector<std::int64_t>& windowIds,
                                          BrowserKind kind) = 0;
  virtual AppleScriptResult<int> restore(const std::vector<std::int64_t>& windowIds,
                                         BrowserKind kind) = 0;
  // Selects tab `tabIndex` (from 1) of the window and puts the window first among the
  // browser's windows, without activating the browser.
  virtual AppleScriptStatus focus(std::int64_t windowId, int tabIndex, BrowserKind kind) = 0;

  // Whether the browser is read through its windows alone (each window one tab named
  // after its title, no address) because nothing tells its real tabs, so the person can
  // be told how to change that. False where every read sees the real tabs.
  virtual bool seesWindowsOnly(BrowserKind) { return false; }
};

}  // namespace tervane
