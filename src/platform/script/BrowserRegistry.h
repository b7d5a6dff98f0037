// Where the script engine finds the browser a `tell application "…"` block addresses. A
// name with no browser behind it is a browser that is not running. `BrowserRegistry` is the
// plain table a test or the diagnostic tool fills; a desktop backend may answer from the
// processes it sees instead.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "script/ScriptableBrowser.h"

namespace tervane {

class BrowserLookup {
 public:
  virtual ~BrowserLookup() = default;
  // The running browser with this application name (compared exactly), or null.
  virtual std::shared_ptr<ScriptableBrowser> browserNamed(std::string_view appName) = 0;
};

// Thread-safe: browsers may come and go while scripts run on other threads.
class BrowserRegistry final : public BrowserLookup {
 public:
  void add(std::string appName, std::shared_ptr<ScriptableBrowser> browser);
  void remove(std::string_view appName);
  std::shared_ptr<ScriptableBrowser> browserNamed(std::string_view appName) override;

 private:
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<ScriptableBrowser>, std::less<>> browsers_;
};

}  // namespace tervane
