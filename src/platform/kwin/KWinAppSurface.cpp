#include "kwin/KWinAppSurface.h"

namespace tervane::kwin {
namespace {

using nlohmann::json;

constexpr const char* kList = R"JS(
var out = [], active = activeNow(), all = windowsNow();
for (var i = 0; i < all.length; ++i) {
  var w = all[i];
  if (isApp(w)) out.push({app: appOf(w), id: idOf(w), minimized: w.minimized, active: w === active, pid: w.pid});
}
reply(out);
)JS";

// Reads each window back after the request: a window counts only as KWin now has it.
constexpr const char* kMinimize = R"JS(
var done = [], all = windowsNow();
for (var i = 0; i < all.length; ++i) {
  var w = all[i];
  if (ids.indexOf(idOf(w)) < 0 || !w.minimizable) continue;
  w.minimized = true;
  if (w.minimized) done.push(idOf(w));
}
reply(done);
)JS";

constexpr const char* kRestore = R"JS(
var present = false, settled = [], left = ids.slice(), all = windowsNow();
for (var i = 0; i < all.length; ++i) {
  var w = all[i];
  if (!isApp(w) || appOf(w) !== app) continue;
  present = true;
  var k = left.indexOf(idOf(w));
  if (k < 0) continue;
  left.splice(k, 1);
  if (w.minimized) w.minimized = false;
  if (!w.minimized) settled.push(idOf(w));
}
// Recorded windows that are no longer there were closed: nothing to bring back.
settled = settled.concat(left);
if (present && activate) {
  // Top to bottom: the application's first shown window takes the focus; when the person
  // minimized every one, the top one comes back for it.
  var order = stackedNow();
  var top = null, shown = null;
  for (var j = order.length - 1; j >= 0; --j) {
    var s = order[j];
    if (!isApp(s) || appOf(s) !== app) continue;
    if (top === null) top = s;
    if (shown === null && !s.minimized) shown = s;
  }
  var chosen = shown !== null ? shown : top;
  if (chosen !== null) {
    chosen.minimized = false;
    setActive(chosen);
  }
}
reply({present: present, settled: settled});
)JS";

std::string withArguments(const json& arguments, const char* body) {
  std::string text;
  for (const auto& [name, value] : arguments.items()) {
    text += "var " + name + " = " + value.dump() + ";\n";
  }
  return text + body;
}

}  // namespace

std::optional<std::vector<x11::WindowDoor::Window>> KWinWindowDoor::windows() {
  auto answer = bus_->runOnce(kList);
  if (!answer || !answer.value().is_array()) return std::nullopt;
  std::vector<Window> list;
  for (const auto& item : answer.value()) {
    if (!item.is_object()) continue;
    Window window;
    window.app = item.value("app", "");
    window.id = item.value("id", "");
    window.minimized = item.value("minimized", false);
    window.active = item.value("active", false);
    window.pid = item.value("pid", std::int64_t{0});
    if (!window.app.empty() && !window.id.empty()) list.push_back(std::move(window));
  }
  return list;
}

std::optional<std::set<std::string>> KWinWindowDoor::minimize(const std::vector<std::string>& ids) {
  auto answer = bus_->runOnce(withArguments({{"ids", ids}}, kMinimize));
  if (!answer) return std::nullopt;
  std::set<std::string> minimized;
  if (answer.value().is_array()) {
    for (const auto& id : answer.value()) {
      if (id.is_string()) minimized.insert(id.get<std::string>());
    }
  }
  return minimized;
}

std::optional<x11::WindowDoor::Restore> KWinWindowDoor::restore(const std::string& app,
                                                                const std::set<std::string>& ids,
                                                                bool activate) {
  auto answer =
      bus_->runOnce(withArguments({{"app", app}, {"ids", ids}, {"activate", activate}}, kRestore));
  if (!answer || !answer.value().is_object()) return std::nullopt;
  Restore restore;
  restore.present = answer.value().value("present", false);
  for (const auto& id : answer.value().value("settled", json::array())) {
    if (id.is_string()) restore.settled.insert(id.get<std::string>());
  }
  return restore;
}

}  // namespace tervane::kwin
