// The script texts the browser adapters send, for the engine's tests to run: whatever
// the adapters say is what these tests hold to account.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "surfaces/BrowserAdapters.h"

namespace tervane::testing {

inline std::string readScript(BrowserKind kind) {
  return kind == BrowserKind::safari ? SafariAdapter().readScript()
                                     : ChromiumAdapter(kind).readScript();
}

inline std::string minimizeScript(BrowserKind kind, bool minimize,
                                  const std::vector<std::int64_t>& ids) {
  return kind == BrowserKind::safari ? SafariAdapter().setMinimizedScript(minimize, ids)
                                     : ChromiumAdapter(kind).setMinimizedScript(minimize, ids);
}

inline std::string focusScript(BrowserKind kind, std::int64_t window, int tab) {
  return kind == BrowserKind::safari ? SafariAdapter().focusScript(window, tab)
                                     : ChromiumAdapter(kind).focusScript(window, tab);
}

}  // namespace tervane::testing
