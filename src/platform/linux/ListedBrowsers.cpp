#include "linux/ListedBrowsers.h"

#include <algorithm>
#include <set>

#include "linux/ClientWindows.h"

namespace tervane::x11 {
namespace {

Error noSuchObject() {
  return ScriptErrors::make(ScriptErrors::noSuchObject);
}

}  // namespace

std::vector<std::string> listedBrowserIds() {
  std::vector<std::string> ids;
  for (BrowserKind kind : kAllBrowserKinds) {
    if (info(kind).isChromium) ids.push_back(bundleId(kind));
  }
  return ids;
}

std::vector<std::string> ListedBrowserPresence::runningApplicationIds() {
  std::set<std::string> apps;
  if (auto windows = windows_->list()) {
    for (const auto& window : *windows) apps.insert(window.app);
  }
  return {apps.begin(), apps.end()};
}

std::optional<int> ListedBrowserPresence::automationStatus(const std::string& bundleId, bool) {
  const auto running = runningApplicationIds();
  return std::find(running.begin(), running.end(), bundleId) != running.end()
             ? 0
             : ScriptErrors::notRunning;
}

Status ListedScriptableBrowser::connect() {
  std::lock_guard lock(mutex_);
  listing_.reset();
  return success();
}

Result<std::vector<ListedBrowserWindow>*> ListedScriptableBrowser::listing() {
  if (!listing_) {
    auto all = windows_->list();
    if (!all)
      return ScriptErrors::make(ScriptErrors::notRunning,
                                windows_->desktopName() + " did not list the windows");
    std::erase_if(*all, [&](const ListedBrowserWindow& w) { return w.app != bundleId(kind_); });
    listing_ = std::move(all);
  }
  return &*listing_;
}

Result<std::size_t> ListedScriptableBrowser::find(std::int64_t window) {
  auto windows = listing();
  if (!windows) return windows.error();
  const auto& all = *windows.value();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].id == window) return i;
  }
  return noSuchObject();
}

Result<std::vector<std::int64_t>> ListedScriptableBrowser::windowIds() {
  std::lock_guard lock(mutex_);
  auto windows = listing();
  if (!windows) return windows.error();
  std::vector<std::int64_t> ids;
  for (const auto& w : *windows.value()) ids.push_back(w.id);
  return ids;
}

Result<int> ListedScriptableBrowser::windowIndex(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  return static_cast<int>(at.value()) + 1;
}

Result<bool> ListedScriptableBrowser::isMinimized(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  return (*listing_)[at.value()].minimized;
}

Status ListedScriptableBrowser::setMinimized(std::int64_t window, bool minimized) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  auto& w = (*listing_)[at.value()];
  // A window the desktop did not move is a refusal, as a browser's own would be.
  if (!windows_->setMinimized(w.key, minimized)) {
    return ScriptErrors::make(
        ScriptErrors::cannotSet,
        windows_->desktopName() + (minimized ? " did not minimize it" : " did not restore it"));
  }
  w.minimized = minimized;
  return success();
}

Status ListedScriptableBrowser::bringToFront(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  if (!windows_->raise((*listing_)[at.value()].key)) {
    return ScriptErrors::make(ScriptErrors::cannotSet,
                              windows_->desktopName() + " did not raise it");
  }
  std::rotate(listing_->begin(), listing_->begin() + static_cast<std::ptrdiff_t>(at.value()),
              listing_->begin() + static_cast<std::ptrdiff_t>(at.value()) + 1);
  return success();
}

Result<std::string> ListedScriptableBrowser::titleOf(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  return tabTitleFromWindowTitle(kind_, (*listing_)[at.value()].title);
}

std::shared_ptr<ScriptableBrowser> ListedBrowserLookup::browserNamed(std::string_view name) {
  for (BrowserKind kind : kAllBrowserKinds) {
    if (!info(kind).isChromium || info(kind).appName != name) continue;
    auto windows = windows_->list();
    if (!windows || std::none_of(windows->begin(), windows->end(),
                                 [&](const auto& w) { return w.app == bundleId(kind); })) {
      return nullptr;
    }
    std::lock_guard lock(mutex_);
    auto& browser = browsers_[kind];
    if (!browser) browser = std::make_shared<ListedScriptableBrowser>(windows_, kind);
    return browser;
  }
  return nullptr;
}

}  // namespace tervane::x11
