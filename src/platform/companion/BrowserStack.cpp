#include "companion/BrowserStack.h"

#include "companion/BrowserOrigin.h"
#include "companion/CompanionBrowser.h"
#include "script/ScriptEngine.h"

namespace tervane::companion {

BrowserStack BrowserStack::make(std::shared_ptr<AutomationPermission> presence,
                                std::shared_ptr<BrowserLookup> windows,
                                std::shared_ptr<const CompanionServer> companions) {
  BrowserStack stack;
  stack.lane = std::make_shared<AppleEventLane>();
  stack.permission = std::make_shared<BrowserPermission>(stack.lane, std::move(presence));
  if (companions) {
    windows = std::make_shared<CompanionBrowserLookup>(companions, std::move(windows));
  }
  stack.runner = std::make_shared<AppleScriptRunner>(
      stack.lane, std::make_shared<ScriptEngine>(std::move(windows)));
  stack.surface = std::make_shared<BrowserSurface>(stack.runner, stack.permission);
  stack.surface->setWindowsOnly([companions = std::move(companions)](BrowserKind kind) {
    const auto kinds = companionKinds(appName(kind));
    if (kinds.empty()) return false;
    return !companions || companions->links(kinds).empty();
  });
  return stack;
}

}  // namespace tervane::companion
