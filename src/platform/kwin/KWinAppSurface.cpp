#include "kwin/KWinAppSurface.h"

#include <algorithm>

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

KWinAppSurface::KWinAppSurface(std::shared_ptr<KWinBus> bus,
                               std::shared_ptr<const ActivationLog> log, Options options)
    : bus_(std::move(bus)), log_(std::move(log)), options_(std::move(options)) {
  // A missing or unreadable record is an empty one; the next write replaces it.
  if (auto text = readFile(options_.hiddenRecordFile)) {
    auto stored = json::parse(text.value(), nullptr, false);
    if (stored.is_object()) {
      for (const auto& [app, ids] : stored.items()) {
        if (!ids.is_array()) continue;
        for (const auto& id : ids) {
          if (id.is_string()) record_[app].insert(id.get<std::string>());
        }
      }
    }
  }
}

std::optional<std::vector<KWinAppSurface::Window>> KWinAppSurface::windows() {
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

std::vector<AppFacts> KWinAppSurface::runningApps() {
  std::vector<AppFacts> apps;
  auto list = windows();
  if (!list) return apps;
  for (const auto& window : *list) {
    auto it = std::find_if(apps.begin(), apps.end(),
                           [&](const AppFacts& app) { return app.bundleId == window.app; });
    if (it == apps.end()) {
      AppFacts facts;
      facts.bundleId = window.app;
      const auto browser = browserKindForBundleId(window.app);
      facts.name = browser ? displayName(*browser) : window.app;
      facts.secondsSinceLastUse = log_->secondsSinceLastUse(window.app);
      facts.canHide = options_.neverStow.count(window.app) == 0;
      apps.push_back(std::move(facts));
      it = std::prev(apps.end());
    }
    if (window.active) it->isFrontmost = true;
    if (options_.ownPid && window.pid == *options_.ownPid) it->canHide = false;
  }
  return apps;
}

bool KWinAppSurface::writeRecord(const std::map<std::string, std::set<std::string>>& record) {
  json out = json::object();
  for (const auto& [app, ids] : record) {
    if (!ids.empty()) out[app] = ids;
  }
  return static_cast<bool>(
      writeFileAtomically(options_.hiddenRecordFile, out.dump(), options_.recordWrite));
}

bool KWinAppSurface::hide(const std::string& bundleId) {
  auto list = windows();
  if (!list) return false;
  std::vector<std::string> shown;
  for (const auto& window : *list) {
    if (window.app == bundleId && !window.minimized) shown.push_back(window.id);
  }
  if (shown.empty()) return false;
  // The record comes first: a window must never be minimized without it being known
  // which ones to bring back after a crash.
  auto record = record_;
  record[bundleId].insert(shown.begin(), shown.end());
  if (!writeRecord(record)) return false;
  record_ = std::move(record);

  auto answer = bus_->runOnce(withArguments({{"ids", shown}}, kMinimize));
  std::set<std::string> minimized;
  if (answer && answer.value().is_array()) {
    for (const auto& id : answer.value()) {
      if (id.is_string()) minimized.insert(id.get<std::string>());
    }
  }
  // What did not go stays out of the record. Without an answer nothing is known to have
  // moved, and the record keeps every window for the next restore.
  if (answer) {
    auto& recorded = record_[bundleId];
    for (const auto& id : shown) {
      if (minimized.count(id) == 0) recorded.erase(id);
    }
    if (recorded.empty()) record_.erase(bundleId);
    (void)writeRecord(record_);
  }
  return !minimized.empty();
}

std::optional<KWinAppSurface::Restore> KWinAppSurface::restoreRecorded(const std::string& bundleId,
                                                                       bool activate) {
  const auto it = record_.find(bundleId);
  const std::set<std::string> recorded = it == record_.end() ? std::set<std::string>{} : it->second;
  auto answer = bus_->runOnce(
      withArguments({{"app", bundleId}, {"ids", recorded}, {"activate", activate}}, kRestore));
  if (!answer || !answer.value().is_object()) return std::nullopt;
  Restore restore;
  restore.present = answer.value().value("present", false);
  for (const auto& id : answer.value().value("settled", json::array())) {
    if (id.is_string()) restore.settled.insert(id.get<std::string>());
  }
  if (!restore.present) {
    // The application quit: its recorded windows are gone with it.
    restore.settled = recorded;
  }
  // Taken out only once they are back: a crash in between, or a request KWin did not
  // honour, leaves them for the next restore.
  if (it != record_.end()) {
    for (const auto& id : restore.settled) it->second.erase(id);
    if (it->second.empty()) record_.erase(it);
    (void)writeRecord(record_);
  }
  return restore;
}

bool KWinAppSurface::unhide(const std::string& bundleId) {
  auto recorded = record_.count(bundleId) ? record_.at(bundleId) : std::set<std::string>{};
  auto restored = restoreRecorded(bundleId, false);
  if (!restored || !restored->present) return false;
  return std::includes(restored->settled.begin(), restored->settled.end(), recorded.begin(),
                       recorded.end());
}

bool KWinAppSurface::activate(const std::string& bundleId) {
  auto restored = restoreRecorded(bundleId, true);
  return restored && restored->present;
}

std::vector<std::string> KWinAppSurface::stillHidden() const {
  std::vector<std::string> apps;
  for (const auto& [app, ids] : record_) apps.push_back(app);
  return apps;
}

}  // namespace tervane::kwin
