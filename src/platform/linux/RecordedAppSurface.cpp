#include "linux/RecordedAppSurface.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace tervane::x11 {

using nlohmann::json;

RecordedAppSurface::RecordedAppSurface(std::shared_ptr<WindowDoor> door,
                                       std::shared_ptr<const ActivationLog> log, Options options)
    : door_(std::move(door)), log_(std::move(log)), options_(std::move(options)) {
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

std::vector<AppFacts> RecordedAppSurface::runningApps() {
  std::vector<AppFacts> apps;
  auto list = door_->windows();
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

bool RecordedAppSurface::writeRecord(const std::map<std::string, std::set<std::string>>& record) {
  json out = json::object();
  for (const auto& [app, ids] : record) {
    if (!ids.empty()) out[app] = ids;
  }
  return static_cast<bool>(
      writeFileAtomically(options_.hiddenRecordFile, out.dump(), options_.recordWrite));
}

bool RecordedAppSurface::hide(const std::string& bundleId) {
  auto list = door_->windows();
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

  const auto answer = door_->minimize(shown);
  const std::set<std::string> minimized = answer.value_or(std::set<std::string>{});
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

std::optional<WindowDoor::Restore> RecordedAppSurface::restoreRecorded(const std::string& bundleId,
                                                                       bool activate) {
  const auto it = record_.find(bundleId);
  const std::set<std::string> recorded = it == record_.end() ? std::set<std::string>{} : it->second;
  auto answer = door_->restore(bundleId, recorded, activate);
  if (!answer) return std::nullopt;
  WindowDoor::Restore restore = std::move(*answer);
  if (!restore.present) {
    // The application quit: its recorded windows are gone with it.
    restore.settled = recorded;
  }
  // Taken out only once they are back: a crash in between, or a request the desktop did
  // not honour, leaves them for the next restore.
  if (it != record_.end()) {
    for (const auto& id : restore.settled) it->second.erase(id);
    if (it->second.empty()) record_.erase(it);
    (void)writeRecord(record_);
  }
  return restore;
}

bool RecordedAppSurface::unhide(const std::string& bundleId) {
  auto recorded = record_.count(bundleId) ? record_.at(bundleId) : std::set<std::string>{};
  auto restored = restoreRecorded(bundleId, false);
  if (!restored || !restored->present) return false;
  return std::includes(restored->settled.begin(), restored->settled.end(), recorded.begin(),
                       recorded.end());
}

bool RecordedAppSurface::activate(const std::string& bundleId) {
  auto restored = restoreRecorded(bundleId, true);
  return restored && restored->present;
}

std::vector<std::string> RecordedAppSurface::stillHidden() const {
  std::vector<std::string> apps;
  for (const auto& [app, ids] : record_) apps.push_back(app);
  return apps;
}

}  // namespace tervane::x11
