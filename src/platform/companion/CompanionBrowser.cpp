#include "companion/CompanionBrowser.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "companion/BrowserOrigin.h"

namespace tervane::companion {
namespace {

Error noSuchObject() {
  return ScriptErrors::make(ScriptErrors::noSuchObject);
}

Error fromLink(const Error& error) {
  if (error.code == ETIMEDOUT) return ScriptErrors::make(ScriptErrors::timedOut, error.message);
  return ScriptErrors::make(ScriptErrors::notRunning, error.message);
}

std::optional<CompanionWindow> readWindow(const nlohmann::json& w) {
  if (!w.is_object() || !w["id"].is_number_integer() || !w["tabs"].is_array()) return {};
  const auto own = w["id"].get<std::int64_t>();
  if (own <= 0 || own > INT32_MAX) return {};
  CompanionWindow out;
  out.id = own;
  out.minimized = w.value("minimized", false);
  out.visible = w.value("visible", true);
  for (const auto& tab : w["tabs"]) {
    if (!tab.is_object()) return {};
    out.tabs.emplace_back(tab.value("title", std::string()), tab.value("url", std::string()));
  }
  const int active = w.value("activeTab", 0);
  out.activeTab = active >= 1 && active <= static_cast<int>(out.tabs.size()) ? active : 0;
  return out;
}

}  // namespace

CompanionBrowser::CompanionBrowser(std::shared_ptr<const CompanionServer> server,
                                   std::vector<std::string> kinds, double requestSeconds,
                                   WindowsOnly windowsOnly)
    : server_(std::move(server)),
      kinds_(std::move(kinds)),
      requestSeconds_(requestSeconds),
      windowsOnly_(std::move(windowsOnly)) {}

std::shared_ptr<ScriptableBrowser> CompanionBrowser::elsewhere(std::int64_t id) {
  {
    std::lock_guard lock(mutex_);
    if (!windowsOnly_ || !ensureListing()) return nullptr;
    for (const auto& window : *listing_) {
      if (window.id == id) return nullptr;
    }
  }
  auto other = windowsOnly_();
  if (!other || !other->connect()) return nullptr;
  const auto ids = other->windowIds();
  if (!ids || std::find(ids.value().begin(), ids.value().end(), id) == ids.value().end()) {
    return nullptr;
  }
  return other;
}

Status CompanionBrowser::connect() {
  std::lock_guard lock(mutex_);
  listing_.reset();
  if (server_->links(kinds_).empty()) return ScriptErrors::make(ScriptErrors::notRunning);
  return success();
}

Status CompanionBrowser::ensureListing() {
  if (listing_) return success();
  const auto links = server_->links(kinds_);
  if (links.empty()) return ScriptErrors::make(ScriptErrors::notRunning);
  std::vector<CompanionWindow> all;
  std::map<std::int64_t, std::uint32_t> owners;
  for (const auto& link : links) {
    auto answer = link->request({{"op", "list"}}, requestSeconds_);
    if (!answer) return fromLink(answer.error());
    const auto& windows = answer.value()["windows"];
    if (!answer.value().value("ok", false) || !windows.is_array()) {
      return ScriptErrors::make(ScriptErrors::notRunning, "the companion sent no listing");
    }
    for (const auto& w : windows) {
      auto window = readWindow(w);
      // Two profiles rarely give two windows one id; the second is left out rather than
      // let an act reach the wrong window.
      if (!window || !owners.emplace(window->id, link->profileKey()).second) continue;
      all.push_back(std::move(*window));
    }
  }
  owners_ = std::move(owners);
  listing_ = std::move(all);
  return success();
}

template <class F>
auto CompanionBrowser::withWindow(std::int64_t id, F read)
    -> decltype(read(std::declval<CompanionWindow&>())) {
  std::lock_guard lock(mutex_);
  if (auto listed = ensureListing(); !listed) return listed.error();
  for (auto& window : *listing_) {
    if (window.id == id) return read(window);
  }
  return noSuchObject();
}

Result<nlohmann::json> CompanionBrowser::ask(std::int64_t window, nlohmann::json request) {
  const auto owner = owners_.find(window);
  if (owner == owners_.end()) return noSuchObject();
  std::shared_ptr<CompanionLink> link;
  for (const auto& open : server_->links(kinds_)) {
    // The newest first: a profile whose old connection has not been seen closing yet.
    if (open->profileKey() == owner->second) link = open;
  }
  if (!link) return ScriptErrors::make(ScriptErrors::notRunning);
  request["window"] = window;
  auto answer = link->request(std::move(request), requestSeconds_);
  if (!answer) return fromLink(answer.error());
  if (answer.value().value("ok", false)) return answer;
  const auto error = answer.value().value("error", std::string());
  if (error == "noSuchWindow" || error == "noSuchTab") return noSuchObject();
  return ScriptErrors::make(ScriptErrors::cannotSet, error);
}

Result<std::vector<std::int64_t>> CompanionBrowser::windowIds() {
  std::lock_guard lock(mutex_);
  if (auto listed = ensureListing(); !listed) return listed.error();
  std::vector<std::int64_t> ids;
  for (const auto& window : *listing_) ids.push_back(window.id);
  return ids;
}

Result<int> CompanionBrowser::windowIndex(std::int64_t id) {
  if (auto other = elsewhere(id)) return other->windowIndex(id);
  std::lock_guard lock(mutex_);
  if (auto listed = ensureListing(); !listed) return listed.error();
  for (std::size_t i = 0; i < listing_->size(); ++i) {
    if ((*listing_)[i].id == id) return static_cast<int>(i) + 1;
  }
  return noSuchObject();
}

Result<bool> CompanionBrowser::isMinimized(std::int64_t id) {
  if (auto other = elsewhere(id)) return other->isMinimized(id);
  return withWindow(id, [](CompanionWindow& w) -> Result<bool> { return w.minimized; });
}

Result<bool> CompanionBrowser::isVisible(std::int64_t id) {
  if (auto other = elsewhere(id)) return other->isVisible(id);
  return withWindow(id, [](CompanionWindow& w) -> Result<bool> { return w.visible; });
}

Status CompanionBrowser::setMinimized(std::int64_t id, bool minimized) {
  if (auto other = elsewhere(id)) return other->setMinimized(id, minimized);
  return withWindow(id, [&](CompanionWindow& w) -> Status {
    auto answer = ask(id, {{"op", "setMinimized"}, {"minimized", minimized}});
    if (!answer) return answer.error();
    // The browser's state read back: a window it did not move is a refusal.
    if (answer.value().value("minimized", !minimized) != minimized) {
      return ScriptErrors::make(ScriptErrors::cannotSet, minimized
                                                             ? "the browser did not minimize it"
                                                             : "the browser did not restore it");
    }
    w.minimized = minimized;
    return success();
  });
}

Status CompanionBrowser::bringToFront(std::int64_t id) {
  if (auto other = elsewhere(id)) return other->bringToFront(id);
  return withWindow(id, [&](CompanionWindow& w) -> Status {
    auto answer = ask(id, {{"op", "bringToFront"}});
    if (!answer) return answer.error();
    w.minimized = false;
    auto& all = *listing_;
    auto it = std::find_if(all.begin(), all.end(), [id](const auto& x) { return x.id == id; });
    std::rotate(all.begin(), it, it + 1);
    return success();
  });
}

Result<int> CompanionBrowser::activeTabIndex(std::int64_t id) {
  if (auto other = elsewhere(id)) return other->activeTabIndex(id);
  return withWindow(id, [](CompanionWindow& w) -> Result<int> {
    if (w.activeTab == 0) return noSuchObject();
    return w.activeTab;
  });
}

Status CompanionBrowser::setActiveTabIndex(std::int64_t id, int index) {
  if (auto other = elsewhere(id)) return other->setActiveTabIndex(id, index);
  return withWindow(id, [&](CompanionWindow& w) -> Status {
    if (index < 1 || index > static_cast<int>(w.tabs.size())) return noSuchObject();
    auto answer = ask(id, {{"op", "activateTab"}, {"index", index}});
    if (!answer) return answer.error();
    w.activeTab = index;
    return success();
  });
}

Result<int> CompanionBrowser::tabCount(std::int64_t id) {
  if (auto other = elsewhere(id)) return other->tabCount(id);
  return withWindow(
      id, [](CompanionWindow& w) -> Result<int> { return static_cast<int>(w.tabs.size()); });
}

Result<std::string> CompanionBrowser::tabTitle(std::int64_t id, int index) {
  if (auto other = elsewhere(id)) return other->tabTitle(id, index);
  return withWindow(id, [index](CompanionWindow& w) -> Result<std::string> {
    if (index < 1 || index > static_cast<int>(w.tabs.size())) return noSuchObject();
    return w.tabs[static_cast<std::size_t>(index - 1)].first;
  });
}

Result<std::string> CompanionBrowser::tabUrl(std::int64_t id, int index) {
  if (auto other = elsewhere(id)) return other->tabUrl(id, index);
  return withWindow(id, [index](CompanionWindow& w) -> Result<std::string> {
    if (index < 1 || index > static_cast<int>(w.tabs.size())) return noSuchObject();
    const auto& url = w.tabs[static_cast<std::size_t>(index - 1)].second;
    // A blank or loading tab has no address to read.
    if (url.empty()) return noSuchObject();
    return url;
  });
}

CompanionBrowserLookup::CompanionBrowserLookup(std::shared_ptr<const CompanionServer> server,
                                               std::shared_ptr<BrowserLookup> fallback)
    : server_(std::move(server)), fallback_(std::move(fallback)) {}

std::shared_ptr<ScriptableBrowser> CompanionBrowserLookup::browserNamed(std::string_view name) {
  auto kinds = companionKinds(name);
  if (!kinds.empty() && !server_->links(kinds).empty()) {
    std::lock_guard lock(mutex_);
    auto& browser = browsers_[std::string(name)];
    if (!browser) {
      browser = std::make_shared<CompanionBrowser>(
          server_, kinds, CompanionBrowser::kRequestSeconds,
          [fallback = fallback_, name = std::string(name)]() -> std::shared_ptr<ScriptableBrowser> {
            return fallback ? fallback->browserNamed(name) : nullptr;
          });
    }
    return browser;
  }
  return fallback_ ? fallback_->browserNamed(name) : nullptr;
}

}  // namespace tervane::companion
