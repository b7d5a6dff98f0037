#include "linux/X11ScriptableBrowser.h"

#include <algorithm>
#include <limits>

namespace tervane::x11 {

namespace {

Error noSuchObject() {
  return ScriptErrors::make(ScriptErrors::noSuchObject);
}

}  // namespace

X11ScriptableBrowser::X11ScriptableBrowser(std::shared_ptr<XConnection> connection,
                                           BrowserKind kind, std::shared_ptr<WindowMover> mover)
    : connection_(std::move(connection)),
      mover_(mover ? std::move(mover) : WindowMover::forDisplayOf(*connection_)),
      kind_(kind) {}

bool X11ScriptableBrowser::isBrowserWindow(const ClientWindow& window) const {
  // Browser windows are normal windows; its dialogs (a file chooser) are not scriptable.
  return window.isNormal && browserKindForClass(window.className) == kind_;
}

Status X11ScriptableBrowser::connect() {
  if (connection_->hasError()) return ScriptErrors::make(ScriptErrors::notRunning);
  return success();
}

std::vector<ClientWindow> X11ScriptableBrowser::windows(bool withTitles) {
  auto stacking =
      readClients(*connection_, clientList(*connection_, ClientOrder::stacking), withTitles);
  std::vector<ClientWindow> front;
  for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
    if (isBrowserWindow(*it)) front.push_back(std::move(*it));
  }
  return front;
}

Result<ClientWindow> X11ScriptableBrowser::window(std::int64_t id, bool withTitle) {
  if (id <= 0 || id > std::numeric_limits<xcb_window_t>::max()) return noSuchObject();
  const auto xid = static_cast<xcb_window_t>(id);
  const auto managed = clientList(*connection_, ClientOrder::mapping);
  if (std::find(managed.begin(), managed.end(), xid) == managed.end()) return noSuchObject();
  auto client = readClient(*connection_, xid, withTitle);
  if (!client || !isBrowserWindow(*client)) return noSuchObject();
  return std::move(*client);
}

Result<std::vector<std::int64_t>> X11ScriptableBrowser::windowIds() {
  std::vector<std::int64_t> ids;
  for (const auto& w : windows(false)) ids.push_back(w.window);
  return ids;
}

Result<int> X11ScriptableBrowser::windowIndex(std::int64_t id) {
  const auto all = windows(false);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].window == id) return static_cast<int>(i) + 1;
  }
  return noSuchObject();
}

Result<bool> X11ScriptableBrowser::isMinimized(std::int64_t id) {
  auto w = window(id);
  if (!w) return w.error();
  return w.value().isMinimized();
}

Status X11ScriptableBrowser::setMinimized(std::int64_t id, bool minimized) {
  auto w = window(id);
  if (!w) return w.error();
  const xcb_window_t window = w.value().window;
  // A window the window manager did not move is a refusal, as a browser's own would be.
  if (minimized) {
    if (mover_->iconify({window}).count(window) == 0) {
      return ScriptErrors::make(ScriptErrors::cannotSet, "the window manager did not minimize it");
    }
  } else if (!mover_->restore({window}, WindowMover::Focus::keep).complete(1)) {
    return ScriptErrors::make(ScriptErrors::cannotSet, "the window manager did not restore it");
  }
  return success();
}

Status X11ScriptableBrowser::bringToFront(std::int64_t id) {
  auto w = window(id);
  if (!w) return w.error();
  raiseWithoutFocus(*connection_, w.value().window);
  connection_->flush();
  return success();
}

Result<std::string> X11ScriptableBrowser::titleOf(std::int64_t id) {
  auto w = window(id, true);
  if (!w) return w.error();
  return tabTitleFromWindowTitle(kind_, w.value().title);
}

X11BrowserLookup::X11BrowserLookup(std::shared_ptr<XConnection> connection,
                                   std::shared_ptr<X11AutomationPermission> presence,
                                   std::shared_ptr<WindowMover> mover)
    : connection_(std::move(connection)),
      presence_(std::move(presence)),
      mover_(mover ? std::move(mover) : WindowMover::forDisplayOf(*connection_)) {}

std::shared_ptr<ScriptableBrowser> X11BrowserLookup::browserNamed(std::string_view name) {
  for (BrowserKind kind : kAllBrowserKinds) {
    if (!info(kind).isChromium || info(kind).appName != name) continue;
    const auto running = presence_->runningApplicationIds();
    if (std::find(running.begin(), running.end(), bundleId(kind)) == running.end()) {
      return nullptr;
    }
    std::lock_guard lock(mutex_);
    auto& browser = browsers_[kind];
    if (!browser) browser = std::make_shared<X11ScriptableBrowser>(connection_, kind, mover_);
    return browser;
  }
  return nullptr;
}

}  // namespace tervane::x11
