#include "kwin/KWinBrowsers.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "linux/ClientWindows.h"

namespace tervane::kwin {
namespace {

using nlohmann::json;

// Browser windows front to back.
constexpr const char* kList = R"JS(
var all = stackedNow(), out = [];
for (var i = all.length - 1; i >= 0; --i) {
  var w = all[i];
  if (isApp(w) && browserIds.indexOf(appOf(w)) >= 0)
    out.push({uuid: idOf(w), app: appOf(w), title: String(w.caption), minimized: w.minimized});
}
reply(out);
)JS";

constexpr const char* kFind = R"JS(
function find(uuid) {
  var all = windowsNow();
  for (var i = 0; i < all.length; ++i) if (idOf(all[i]) === uuid) return all[i];
  return null;
}
)JS";

// Preceded by `var uuid, minimized`; answers whether KWin reads the window back so.
constexpr const char* kSetMinimized = R"JS(
var w = find(uuid);
if (w !== null && (!minimized || w.minimizable)) w.minimized = minimized;
reply(w !== null && w.minimized === minimized);
)JS";

// Plasma 6 raises a window by itself; 5.27 only by activating it, which raises it too.
// Answers whether no other window of the browser is above it then.
constexpr const char* kRaise = R"JS(
var w = find(uuid);
if (w !== null) {
  if (typeof workspace.raiseWindow === "function") workspace.raiseWindow(w);
  else setActive(w);
}
var order = stackedNow(), above = order.slice(order.indexOf(w) + 1);
reply(w !== null && above.every(function (s) { return appOf(s) !== appOf(w); }));
)JS";

Error noSuchObject() {
  return ScriptErrors::make(ScriptErrors::noSuchObject);
}

std::vector<std::string> browserIds() {
  std::vector<std::string> ids;
  for (BrowserKind kind : kAllBrowserKinds) {
    if (info(kind).isChromium) ids.push_back(bundleId(kind));
  }
  return ids;
}

}  // namespace

std::int64_t KWinBrowserWindow::idFor(const std::string& uuid) {
  std::uint32_t value = 0;
  int digits = 0;
  for (char c : uuid) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
    const int digit =
        std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
    if (++digits == 8) break;
  }
  value &= 0x7fffffffu;
  return value == 0 ? 1 : value;
}

std::optional<json> KWinBrowserWindows::run(const std::string& body) {
  std::lock_guard lock(mutex_);
  if (!bus_) {
    auto opened = KWinBus::open(scriptFolder_);
    if (!opened) return std::nullopt;
    bus_ = std::move(opened).value();
  }
  auto answer = bus_->runOnce(body);
  if (!answer) return std::nullopt;
  return std::move(answer).value();
}

std::optional<std::vector<KWinBrowserWindow>> KWinBrowserWindows::list() {
  static const std::string script = "var browserIds = " + json(browserIds()).dump() + ";\n" + kList;
  auto answer = run(script);
  if (!answer || !answer->is_array()) return std::nullopt;
  std::vector<KWinBrowserWindow> windows;
  for (const auto& item : *answer) {
    if (!item.is_object()) continue;
    KWinBrowserWindow window;
    window.uuid = item.value("uuid", "");
    window.app = item.value("app", "");
    window.title = item.value("title", "");
    window.minimized = item.value("minimized", false);
    window.id = KWinBrowserWindow::idFor(window.uuid);
    if (!window.uuid.empty()) windows.push_back(std::move(window));
  }
  return windows;
}

bool KWinBrowserWindows::setMinimized(const std::string& uuid, bool minimized) {
  auto answer = run("var uuid = " + json(uuid).dump() + ", minimized = " + json(minimized).dump() +
                    ";\n" + kFind + kSetMinimized);
  return answer && *answer == true;
}

bool KWinBrowserWindows::raise(const std::string& uuid) {
  auto answer = run("var uuid = " + json(uuid).dump() + ";\n" + kFind + kRaise);
  return answer && *answer == true;
}

std::vector<std::string> KWinBrowserPresence::runningApplicationIds() {
  std::set<std::string> apps;
  if (auto windows = windows_->list()) {
    for (const auto& window : *windows) apps.insert(window.app);
  }
  return {apps.begin(), apps.end()};
}

std::optional<int> KWinBrowserPresence::automationStatus(const std::string& bundleId, bool) {
  const auto running = runningApplicationIds();
  return std::find(running.begin(), running.end(), bundleId) != running.end()
             ? 0
             : ScriptErrors::notRunning;
}

Status KWinScriptableBrowser::connect() {
  std::lock_guard lock(mutex_);
  listing_.reset();
  return success();
}

Result<std::vector<KWinBrowserWindow>*> KWinScriptableBrowser::listing() {
  if (!listing_) {
    auto all = windows_->list();
    if (!all) return ScriptErrors::make(ScriptErrors::notRunning, "KWin did not list the windows");
    std::erase_if(*all, [&](const KWinBrowserWindow& w) { return w.app != bundleId(kind_); });
    listing_ = std::move(all);
  }
  return &*listing_;
}

Result<std::size_t> KWinScriptableBrowser::find(std::int64_t window) {
  auto windows = listing();
  if (!windows) return windows.error();
  const auto& all = *windows.value();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].id == window) return i;
  }
  return noSuchObject();
}

Result<std::vector<std::int64_t>> KWinScriptableBrowser::windowIds() {
  std::lock_guard lock(mutex_);
  auto windows = listing();
  if (!windows) return windows.error();
  std::vector<std::int64_t> ids;
  for (const auto& w : *windows.value()) ids.push_back(w.id);
  return ids;
}

Result<int> KWinScriptableBrowser::windowIndex(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  return static_cast<int>(at.value()) + 1;
}

Result<bool> KWinScriptableBrowser::isMinimized(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  return (*listing_)[at.value()].minimized;
}

Status KWinScriptableBrowser::setMinimized(std::int64_t window, bool minimized) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  auto& w = (*listing_)[at.value()];
  // A window KWin did not move is a refusal, as a browser's own would be.
  if (!windows_->setMinimized(w.uuid, minimized)) {
    return ScriptErrors::make(ScriptErrors::cannotSet,
                              minimized ? "KWin did not minimize it" : "KWin did not restore it");
  }
  w.minimized = minimized;
  return success();
}

Status KWinScriptableBrowser::bringToFront(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  if (!windows_->raise((*listing_)[at.value()].uuid)) {
    return ScriptErrors::make(ScriptErrors::cannotSet, "KWin did not raise it");
  }
  std::rotate(listing_->begin(), listing_->begin() + static_cast<std::ptrdiff_t>(at.value()),
              listing_->begin() + static_cast<std::ptrdiff_t>(at.value()) + 1);
  return success();
}

Result<std::string> KWinScriptableBrowser::titleOf(std::int64_t window) {
  std::lock_guard lock(mutex_);
  auto at = find(window);
  if (!at) return at.error();
  return x11::tabTitleFromWindowTitle(kind_, (*listing_)[at.value()].title);
}

std::shared_ptr<ScriptableBrowser> KWinBrowserLookup::browserNamed(std::string_view name) {
  for (BrowserKind kind : kAllBrowserKinds) {
    if (!info(kind).isChromium || info(kind).appName != name) continue;
    auto windows = windows_->list();
    if (!windows || std::none_of(windows->begin(), windows->end(),
                                 [&](const auto& w) { return w.app == bundleId(kind); })) {
      return nullptr;
    }
    std::lock_guard lock(mutex_);
    auto& browser = browsers_[kind];
    if (!browser) browser = std::make_shared<KWinScriptableBrowser>(windows_, kind);
    return browser;
  }
  return nullptr;
}

}  // namespace tervane::kwin
