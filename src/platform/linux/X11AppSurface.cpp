#include "linux/X11AppSurface.h"

#include <algorithm>

namespace tervane::x11 {

X11AppSurface::X11AppSurface(std::shared_ptr<XConnection> connection,
                             std::shared_ptr<const ActivationLog> log, Options options)
    : connection_(std::move(connection)),
      log_(std::move(log)),
      own_(std::move(options.own)),
      neverStow_{own_.className},
      record_(std::move(options.hiddenRecordFile), std::move(options.recordWrite)),
      entries_(std::move(options.desktopEntryFolders)) {}

std::string X11AppSurface::identifierOf(const ClientWindow& window) const {
  if (own_.owns(window)) return own_.className;
  return appIdentifier(window.className);
}

std::vector<AppFacts> X11AppSurface::runningApps() {
  XConnection& c = *connection_;
  std::optional<std::string> frontmost;
  if (const auto active = activeWindow(c)) {
    if (const auto window = readClient(c, *active); window && !window->className.empty()) {
      frontmost = identifierOf(*window);
    }
  }
  entries_.refreshIfChanged();

  std::vector<AppFacts> apps;
  std::set<std::string> listed;
  auto windows = clients_.clients(c);
  refreshStates(c, windows);
  for (const ClientWindow& window : windows) {
    if (!window.isRegular()) continue;
    std::string id = identifierOf(window);
    if (!listed.insert(id).second) continue;
    AppFacts facts;
    facts.name = entries_.nameFor(window.className, window.instanceName).value_or(window.className);
    facts.isFrontmost = frontmost == id;
    facts.secondsSinceLastUse = log_->secondsSinceLastUse(id);
    facts.canHide = neverStow_.count(id) == 0;
    facts.bundleId = std::move(id);
    apps.push_back(std::move(facts));
  }
  return apps;
}

std::vector<ClientWindow> X11AppSurface::windowsOf(const std::string& bundleId) {
  return clients_.matching(*connection_, [&](const ClientWindow& window) {
    return window.isNormal && !window.className.empty() && identifierOf(window) == bundleId;
  });
}

bool X11AppSurface::hide(const std::string& bundleId) {
  const auto windows = windowsOf(bundleId);
  if (windows.empty()) return false;
  std::vector<std::uint32_t> shown;
  for (const auto& window : windows) {
    if (!window.isMinimized()) shown.push_back(window.window);
  }
  if (shown.empty()) return true;
  // The record comes first: a window must never be iconified without it being known
  // which ones to bring back after a crash.
  if (!record_.add(bundleId, shown)) return false;
  for (std::uint32_t window : shown) iconify(*connection_, window);
  connection_->flush();
  return true;
}

bool X11AppSurface::unhide(const std::string& bundleId) {
  return restoreRecorded(bundleId).has_value();
}

std::optional<std::set<xcb_window_t>> X11AppSurface::restoreRecorded(const std::string& bundleId) {
  const auto windows = windowsOf(bundleId);
  const auto recorded = record_.windowsOf(bundleId);
  if (windows.empty()) {
    // The application quit: its recorded windows are gone with it.
    if (!recorded.empty()) (void)record_.forget(bundleId);
    return std::nullopt;
  }
  std::set<xcb_window_t> restored;
  for (const auto& window : windows) {
    if (recorded.count(window.window) != 0 && window.isMinimized()) {
      restore(*connection_, window.window);
      restored.insert(window.window);
    }
  }
  connection_->flush();
  // Forgotten only after the windows moved: a crash in between restores them again,
  // which finds them already shown.
  (void)record_.forget(bundleId);
  return restored;
}

bool X11AppSurface::activate(const std::string& bundleId) {
  const auto restored = restoreRecorded(bundleId);
  if (!restored) return false;
  XConnection& c = *connection_;
  // Top to bottom: the application's first window that is shown (or on its way back)
  // gets the focus; only when the person minimized every one does the top one return.
  clients_.clients(c);
  std::vector<ClientWindow> stacking;
  for (xcb_window_t w : clientList(c, ClientOrder::stacking)) {
    if (auto window = clients_.find(w)) stacking.insert(stacking.begin(), std::move(*window));
  }
  refreshStates(c, stacking);
  std::optional<xcb_window_t> top;
  std::optional<xcb_window_t> topShown;
  for (const auto& window : stacking) {
    if (!window.isNormal || window.className.empty() || identifierOf(window) != bundleId) continue;
    if (!top) top = window.window;
    if (!topShown && (!window.isMinimized() || restored->count(window.window) != 0)) {
      topShown = window.window;
    }
  }
  if (!top) return false;
  requestActivation(c, topShown.value_or(*top));
  c.flush();
  return true;
}

double X11AppSurface::humanIdleSeconds() {
  return idleSeconds(*connection_).value_or(0.0);
}

}  // namespace tervane::x11
