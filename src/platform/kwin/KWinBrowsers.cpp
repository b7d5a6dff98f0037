#include "kwin/KWinBrowsers.h"

#include <algorithm>
#include <cctype>

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

}  // namespace

std::int64_t KWinBrowserWindows::idFor(const std::string& uuid) {
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

std::optional<std::vector<x11::ListedBrowserWindow>> KWinBrowserWindows::list() {
  static const std::string script =
      "var browserIds = " + json(x11::listedBrowserIds()).dump() + ";\n" + kList;
  auto answer = run(script);
  if (!answer || !answer->is_array()) return std::nullopt;
  std::vector<x11::ListedBrowserWindow> windows;
  for (const auto& item : *answer) {
    if (!item.is_object()) continue;
    x11::ListedBrowserWindow window;
    window.key = item.value("uuid", "");
    window.app = item.value("app", "");
    window.title = item.value("title", "");
    window.minimized = item.value("minimized", false);
    window.id = idFor(window.key);
    if (!window.key.empty()) windows.push_back(std::move(window));
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

}  // namespace tervane::kwin
