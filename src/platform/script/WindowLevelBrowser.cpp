#include "script/WindowLevelBrowser.h"

namespace tervane {

Result<std::string> WindowLevelBrowser::tab(std::int64_t window, int index) {
  auto title = titleOf(window);
  if (title && index != 1) return ScriptErrors::make(ScriptErrors::noSuchObject);
  return title;
}

Result<bool> WindowLevelBrowser::isVisible(std::int64_t window) {
  auto title = titleOf(window);
  if (!title) return title.error();
  return true;
}

Result<int> WindowLevelBrowser::activeTabIndex(std::int64_t window) {
  auto title = titleOf(window);
  if (!title) return title.error();
  return 1;
}

Status WindowLevelBrowser::setActiveTabIndex(std::int64_t window, int index) {
  auto title = tab(window, index);
  if (!title) return title.error();
  return success();
}

Result<int> WindowLevelBrowser::tabCount(std::int64_t window) {
  return activeTabIndex(window);  // one tab, the active one
}

Result<std::string> WindowLevelBrowser::tabTitle(std::int64_t window, int index) {
  return tab(window, index);
}

Result<std::string> WindowLevelBrowser::tabUrl(std::int64_t window, int index) {
  auto title = tab(window, index);
  if (!title) return title.error();
  // An empty URL rather than an error: the window reads as a window with one unnamed
  // page, instead of failing the whole read.
  return std::string();
}

}  // namespace tervane
