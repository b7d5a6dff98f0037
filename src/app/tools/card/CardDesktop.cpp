#include "app/tools/card/CardDesktop.h"

#include <algorithm>

#include "base/Json.h"

namespace tervane {
namespace {

namespace J = jsonread;

class UnavailablePicker final : public ActPicking {
 public:
  bool isAvailable() override { return false; }
  void prewarm() override {}
  std::optional<std::set<std::string>> pick(const std::string&,
                                            const std::vector<std::string>&) override {
    return std::nullopt;
  }
};

class DesktopPlatform final : public PlatformFactory {
 public:
  DesktopPlatform(std::shared_ptr<sim::SimDesktop> desktop, std::shared_ptr<const Clock> clock)
      : desktop_(std::move(desktop)), clock_(std::move(clock)) {}
  std::shared_ptr<ActivationSource> activationSource() override {
    return std::make_shared<sim::SimActivationSource>(desktop_);
  }
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override {
    return std::make_shared<sim::SimAppSurface>(desktop_, clock_, std::move(log));
  }
  std::shared_ptr<BrowserSurfacing> browserSurface() override { return nullptr; }
  std::shared_ptr<ShieldPresenting> shield() override { return nullptr; }

 private:
  std::shared_ptr<sim::SimDesktop> desktop_;
  std::shared_ptr<const Clock> clock_;
};

Result<std::vector<WindowFacts>> decodeWindows(BrowserKind kind, const nlohmann::json& state) {
  std::vector<WindowFacts> windows;
  try {
    const auto& list = J::required(state, "windows");
    if (!list.is_array()) return Error{"\"windows\" is not a list", 0};
    for (const auto& w : list) {
      WindowFacts window;
      window.browser = kind;
      window.windowId = J::integer(J::required(w, "id"));
      window.isMinimized = J::optional(w, "minimized", J::boolean).value_or(false);
      const int active = static_cast<int>(J::optional(w, "activeTabIndex", J::integer).value_or(1));
      if (w.contains("tabs")) {
        int index = 1;
        for (const auto& t : w.at("tabs")) {
          TabFacts tab;
          tab.title = J::optional(t, "title", J::string).value_or("");
          tab.url = t.contains("url") && t.at("url").is_string() ? t.at("url").get<std::string>()
                                                                 : std::string();
          tab.isActive = index++ == active;
          window.tabs.push_back(std::move(tab));
        }
      }
      if (!J::optional(w, "visible", J::boolean).value_or(true)) continue;
      // Listed front to back: the first window that is not minimized is in front.
      window.isFrontmost =
          !window.isMinimized && std::none_of(windows.begin(), windows.end(),
                                              [](const WindowFacts& o) { return !o.isMinimized; });
      windows.push_back(std::move(window));
    }
  } catch (const std::exception& e) {
    return Error{"a window or tab is not of the expected shape", 0};
  }
  return windows;
}

}  // namespace

Result<std::shared_ptr<DesktopBrowsers>> DesktopBrowsers::make(
    std::shared_ptr<sim::SimDesktop> desktop) {
  auto browsers = std::shared_ptr<DesktopBrowsers>(new DesktopBrowsers(desktop));
  for (const auto& [raw, state] : desktop->browserStates().items()) {
    const auto kind = browserKindFromRaw(raw);
    if (!kind) return Error{"unknown browser \"" + raw + "\"", 0};
    auto windows = decodeWindows(*kind, state);
    if (!windows) return Error{"browser \"" + raw + "\": " + windows.error().message, 0};
    browsers->windows_[*kind] = std::move(windows.value());
  }
  return browsers;
}

std::vector<BrowserKind> DesktopBrowsers::runningBrowsers() {
  const auto running = desktop_->runningBrowsers();
  return {running.begin(), running.end()};
}

BrowserAuthorization DesktopBrowsers::authorization(BrowserKind kind) {
  if (!desktop_->runningBrowsers().count(kind)) return BrowserAuthorization::notRunning();
  switch (desktop_->permission(kind)) {
    case sim::SimPermission::allowed:
      return BrowserAuthorization::allowed();
    case sim::SimPermission::denied:
      return BrowserAuthorization::denied();
    case sim::SimPermission::needsConsent:
      return BrowserAuthorization::needsConsent();
    case sim::SimPermission::busy:
      return BrowserAuthorization::busy();
    case sim::SimPermission::notRunning:
      return BrowserAuthorization::notRunning();
  }
  return BrowserAuthorization::unknown(0);
}

BrowserAuthorization DesktopBrowsers::requestConsent(BrowserKind kind) {
  if (desktop_->permission(kind) == sim::SimPermission::needsConsent) {
    desktop_->setPermission(kind, desktop_->consentGranted() ? sim::SimPermission::allowed
                                                             : sim::SimPermission::denied);
  }
  return authorization(kind);
}

AppleScriptResult<std::vector<WindowFacts>> DesktopBrowsers::windows(BrowserKind kind) {
  const auto allowed = authorization(kind);
  if (allowed.type() == BrowserAuthorization::Type::notRunning)
    return AppleScriptError::notRunning();
  if (allowed.type() == BrowserAuthorization::Type::busy) return AppleScriptError::busy();
  if (!allowed.canRead()) return AppleScriptError::notPermitted();
  std::lock_guard lock(mutex_);
  std::vector<WindowFacts> withTabs;
  for (const auto& window : windows_[kind]) {
    if (!window.tabs.empty()) withTabs.push_back(window);
  }
  return withTabs;
}

AppleScriptResult<int> DesktopBrowsers::setMinimized(const std::vector<std::int64_t>& ids,
                                                     BrowserKind kind, bool minimized) {
  if (!authorization(kind).canRead()) return AppleScriptError::notPermitted();
  std::lock_guard lock(mutex_);
  int count = 0;
  for (auto& window : windows_[kind]) {
    if (std::find(ids.begin(), ids.end(), window.windowId) == ids.end()) continue;
    window.isMinimized = minimized;
    ++count;
  }
  return count;
}

AppleScriptResult<int> DesktopBrowsers::minimize(const std::vector<std::int64_t>& ids,
                                                 BrowserKind kind) {
  return setMinimized(ids, kind, true);
}

AppleScriptResult<int> DesktopBrowsers::restore(const std::vector<std::int64_t>& ids,
                                                BrowserKind kind) {
  return setMinimized(ids, kind, false);
}

AppleScriptStatus DesktopBrowsers::focus(std::int64_t windowId, int tabIndex, BrowserKind kind) {
  if (!authorization(kind).canRead()) return AppleScriptError::notPermitted();
  std::lock_guard lock(mutex_);
  auto& windows = windows_[kind];
  auto it = std::find_if(windows.begin(), windows.end(),
                         [&](const WindowFacts& w) { return w.windowId == windowId; });
  if (it == windows.end()) return AppleScriptError::staleReference();
  for (std::size_t i = 0; i < it->tabs.size(); ++i) {
    it->tabs[i].isActive = static_cast<int>(i) + 1 == tabIndex;
  }
  std::rotate(windows.begin(), it, it + 1);
  for (std::size_t i = 0; i < windows.size(); ++i) windows[i].isFrontmost = i == 0;
  return Done{};
}

std::optional<bool> DesktopBrowsers::isMinimized(BrowserKind kind, std::int64_t windowId) const {
  std::lock_guard lock(mutex_);
  auto found = windows_.find(kind);
  if (found == windows_.end()) return std::nullopt;
  for (const auto& window : found->second) {
    if (window.windowId == windowId) return window.isMinimized;
  }
  return std::nullopt;
}

Result<CardDesktop> CardDesktop::make(const nlohmann::json& description, Options o) {
  auto desktop = sim::SimDesktop::fromJson(description, o.clock);
  if (!desktop) return desktop.error();
  auto browsers = DesktopBrowsers::make(desktop.value());
  if (!browsers) return browsers.error();

  CardDesktop made;
  made.desktop = desktop.value();
  made.browsers = browsers.value();
  made.shield = std::make_shared<sim::RecordingShield>();
  made.store = std::make_shared<Store>(*o.sharedDefaults);
  made.journal = std::make_shared<StageJournal>(o.journalFolder, o.journalOptions);
  made.memory = std::make_shared<StageMemory>(*o.standardDefaults);
  for (const auto& [key, choice] : made.desktop->remembered()) made.memory->remember(choice, key);

  MacNowModel::Dependencies d;
  d.main = o.main;
  d.clock = o.clock;
  d.platform = std::make_shared<DesktopPlatform>(made.desktop, o.clock);
  d.standardDefaults = o.standardDefaults;
  d.store = made.store;
  d.journal = made.journal;
  d.memory = made.memory;
  d.monitor = std::make_shared<sim::SimGuardMonitor>(made.desktop);
  d.offMain = o.offMain;
  d.picker = std::make_shared<UnavailablePicker>();
  d.browsers = made.browsers;
  d.shield = made.shield;
  made.model = MacNowModel::make(std::move(d));
  return made;
}

}  // namespace tervane
