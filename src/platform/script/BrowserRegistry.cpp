#include "script/BrowserRegistry.h"

#include "stage/BrowserKind.h"

namespace tervane {

std::optional<ScriptDictionary> dictionaryForApp(std::string_view appName) {
  for (auto kind : kAllBrowserKinds) {
    if (info(kind).appName == appName) {
      return info(kind).isChromium ? ScriptDictionary::chromium : ScriptDictionary::safari;
    }
  }
  return std::nullopt;
}

void BrowserRegistry::add(std::string appName, std::shared_ptr<ScriptableBrowser> browser) {
  std::lock_guard lock(mutex_);
  browsers_[std::move(appName)] = std::move(browser);
}

void BrowserRegistry::remove(std::string_view appName) {
  std::lock_guard lock(mutex_);
  if (auto it = browsers_.find(appName); it != browsers_.end()) browsers_.erase(it);
}

std::shared_ptr<ScriptableBrowser> BrowserRegistry::browserNamed(std::string_view appName) {
  std::lock_guard lock(mutex_);
  auto it = browsers_.find(appName);
  return it == browsers_.end() ? nullptr : it->second;
}

}  // namespace tervane
