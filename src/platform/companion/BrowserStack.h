// The browsers of a desktop as the session model sees them: one lane for every call to a
// browser (with its time limits), the permission check, and the script engine, which
// reaches a browser through its connected companion (real tabs and addresses) and any
// other through `windows`, the desktop's own view of browser windows. A browser the
// companions know of but none of whose companions is connected is seen by its windows only.
#pragma once

#include <memory>

#include "companion/CompanionServer.h"
#include "script/BrowserRegistry.h"
#include "surfaces/AppleEventLane.h"
#include "surfaces/AppleScriptRunner.h"
#include "surfaces/AutomationPermission.h"
#include "surfaces/BrowserPermission.h"
#include "surfaces/BrowserSurface.h"

namespace tervane::companion {

struct BrowserStack {
  std::shared_ptr<AppleEventLane> lane;
  std::shared_ptr<BrowserPermission> permission;
  std::shared_ptr<AppleScriptRunner> runner;
  std::shared_ptr<BrowserSurface> surface;

  // `companions` may be null (a preview, or no socket): then every browser is seen by
  // its windows.
  static BrowserStack make(std::shared_ptr<AutomationPermission> presence,
                           std::shared_ptr<BrowserLookup> windows,
                           std::shared_ptr<const CompanionServer> companions);
};

}  // namespace tervane::companion
