// A browser seen from outside, by its windows only: each window shows as one tab, the
// active one, titled with the window's title less the browser's name, with an empty
// address (a page's address is not visible from outside the browser). A desktop backend
// gives the windows; the tab row follows from them here.
#pragma once

#include <cstdint>
#include <string>

#include "script/ScriptableBrowser.h"

namespace tervane {

class WindowLevelBrowser : public ScriptableBrowser {
 public:
  ScriptDictionary dictionary() const override { return ScriptDictionary::chromium; }
  // Every window the desktop lists is open, minimized or not.
  Result<bool> isVisible(std::int64_t window) override;
  Result<int> activeTabIndex(std::int64_t window) override;
  Status setActiveTabIndex(std::int64_t window, int index) override;
  Result<int> tabCount(std::int64_t window) override;
  Result<std::string> tabTitle(std::int64_t window, int index) override;
  // Always "".
  Result<std::string> tabUrl(std::int64_t window, int index) override;

 protected:
  // The title of the window's one tab; `noSuchObject` when the window is not the
  // browser's any more.
  virtual Result<std::string> titleOf(std::int64_t window) = 0;

 private:
  Result<std::string> tab(std::int64_t window, int index);
};

}  // namespace tervane
