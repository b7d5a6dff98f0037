#include "linux/X11AppSurface.h"

#include <algorithm>

namespace tervane::x11 {

X11AppSurface::X11AppSurface(std::shared_ptr<XConnection> connection,
                             std::shared_ptr<const ActivationLog> log, Options options)
    : connection_(std::move(connection)),
      mover_(options.mover ? std::move(options.mover) : WindowMover::forDisplayOf(*connection_)),
      log_(std::move(log)),
      own_(std::move(options.own)),
      neverStow_{own_.className},
      record_(std::move(options.hiddenRecordFile), std::move(options.recordWrite)),
      entries_(std::move(options.desktopEntryFolders)),
      onReturn_(std::move(options.onReturn)) {
  if (!onReturn_) return;
  events_ = connection_->onEvent([this](const XEvent& event) {
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
    if (notify->atom == connection_->extraAtoms().wmState) stateChanged(notify->window);
  });
  watchRecorded();
}

void X11AppSurface::watchRecorded() {
  if (!onReturn_) return;
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  for (const auto& [app, windows] : record_.all()) {
    for (std::uint32_t window : windows) {
      xcb_change_window_attributes(connection_->raw(), window, XCB_CW_EVENT_MASK, &mask);
    }
  }
  connection_->flush();
}

void X11AppSurface::stateChanged(xcb_window_t window) {
  // This surface's own restores take a window out of the record before its event is
  // dispatched, so a recorded window that reads back shown came back by other means.
  for (const auto& [app, windows] : record_.all()) {
    if (windows.count(window) == 0) continue;
    const auto client = readClient(*connection_, window);
    if (!client || client->isMinimized()) {
      seenBack_.erase(window);
    } else if (seenBack_.insert(window).second) {
      onReturn_(app);
    }
    return;
  }
}

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
  std::vector<xcb_window_t> shown;
  for (const auto& window : windows) {
    if (!window.isMinimized()) shown.push_back(window.window);
  }
  if (shown.empty()) return true;
  // The record comes first: a window must never be iconified without it being known
  // which ones to bring back after a crash.
  if (!record_.add(bundleId, shown)) return false;
  watchRecorded();
  const auto minimized = mover_->iconify(shown);
  HiddenWindowRecord::Windows stayed;
  for (xcb_window_t window : shown) {
    if (minimized.count(window) == 0) stayed.insert(window);
  }
  (void)record_.remove(bundleId, stayed);
  return !minimized.empty();
}

bool X11AppSurface::unhide(const std::string& bundleId) {
  const auto restored = restoreRecorded(bundleId, WindowMover::Focus::keep);
  return restored && restored->complete;
}

std::optional<X11AppSurface::Restore> X11AppSurface::restoreRecorded(const std::string& bundleId,
                                                                     WindowMover::Focus focus) {
  const auto windows = windowsOf(bundleId);
  const auto recorded = record_.windowsOf(bundleId);
  if (windows.empty()) {
    // The application quit, or no window manager lists windows just now (one is being
    // replaced): only recorded windows that no longer exist leave the record, and the
    // others wait for the next restore.
    if (recorded.empty()) return std::nullopt;
    const auto remaining =
        readClients(*connection_, std::vector<xcb_window_t>(recorded.begin(), recorded.end()));
    if (remaining.empty()) {
      (void)record_.forget(bundleId);
      return std::nullopt;
    }
    HiddenWindowRecord::Windows gone = recorded;
    for (const auto& window : remaining) gone.erase(window.window);
    (void)record_.remove(bundleId, gone);
    return Restore{false, {}};
  }
  // Recorded windows that are shown already (the person brought them back) or gone need
  // nothing more; the others are asked back.
  HiddenWindowRecord::Windows settled = recorded;
  std::vector<xcb_window_t> minimized;
  for (const auto& window : windows) {
    if (recorded.count(window.window) != 0 && window.isMinimized()) {
      minimized.push_back(window.window);
      settled.erase(window.window);
    }
  }
  const auto restored = mover_->restore(minimized, focus);
  settled.insert(restored.back.begin(), restored.back.end());
  settled.insert(restored.gone.begin(), restored.gone.end());
  // Taken out only once they are back: a crash in between, or a window manager that did
  // not honour the request, leaves them for the next restore.
  (void)record_.remove(bundleId, settled);
  return Restore{restored.complete(minimized.size()), restored.back};
}

std::vector<std::string> X11AppSurface::stillHidden() const {
  std::vector<std::string> apps;
  for (const auto& [app, windows] : record_.all()) apps.push_back(app);
  return apps;
}

bool X11AppSurface::activate(const std::string& bundleId) {
  const auto restored = restoreRecorded(bundleId, WindowMover::Focus::give);
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
    if (!topShown && (!window.isMinimized() || restored->back.count(window.window) != 0)) {
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
