#include "stage/ActivationLog.h"

#include <chrono>
#include <cmath>
#include <cstdint>

namespace tervane {
using nlohmann::json;

namespace {

// Stored times beyond this (about the year 2223) are not trusted: the clock's nanosecond
// count would overflow near the year 2262.
constexpr double kLatestStoredSeconds = 8e9;

std::optional<TimePoint> timeFromStored(const json& value) {
  if (!value.is_number()) return std::nullopt;
  const double seconds = value.get<double>();
  if (!std::isfinite(seconds) || std::abs(seconds) > kLatestStoredSeconds) return std::nullopt;
  // Whole seconds and the fraction apart: a nanosecond count near 1.7e18 does not fit a
  // double exactly, and the fraction would come back changed after a store and reload.
  const double whole = std::floor(seconds);
  const auto nanos = std::llround((seconds - whole) * 1e9);
  return TimePoint(std::chrono::duration_cast<TimePoint::duration>(
      std::chrono::seconds(static_cast<std::int64_t>(whole)) + std::chrono::nanoseconds(nanos)));
}

// Identifiers come from the desktop (an X11 class name may hold any bytes); one that is
// empty or not UTF-8 cannot be a key of the stored map and is not recorded.
bool isRecordable(const std::string& bundleId) {
  if (bundleId.empty()) return false;
  try {
    (void)json(bundleId).dump();
    return true;
  } catch (const json::exception&) {
    return false;
  }
}

double storedFromTime(TimePoint t) {
  const auto since = t.time_since_epoch();
  const auto whole = std::chrono::floor<std::chrono::seconds>(since);
  return static_cast<double>(whole.count()) + Seconds(since - whole).count();
}

}  // namespace

struct ActivationLog::State {
  Defaults& defaults;
  const Clock& clock;
  std::map<std::string, TimePoint> lastUsed;
  std::map<std::string, TimePoint> previous;

  State(Defaults& d, const Clock& c) : defaults(d), clock(c) {}

  void load() {
    auto stored = defaults.get(kDefaultsKey);
    if (!stored || !stored->is_object()) return;
    std::map<std::string, TimePoint> read;
    for (const auto& [bundleId, value] : stored->items()) {
      auto t = timeFromStored(value);
      if (!t) return;  // one bad value discards the whole map
      read.emplace(bundleId, *t);
    }
    lastUsed = std::move(read);
  }

  void store() {
    json object = json::object();
    for (const auto& [bundleId, t] : lastUsed) object[bundleId] = storedFromTime(t);
    defaults.set(kDefaultsKey, std::move(object));
  }

  void record(const std::string& bundleId) {
    if (!isRecordable(bundleId)) return;
    if (auto it = lastUsed.find(bundleId); it != lastUsed.end()) {
      previous[bundleId] = it->second;
    } else {
      previous.erase(bundleId);
    }
    lastUsed[bundleId] = clock.now();
    store();
  }

  void revert(const std::string& bundleId) {
    if (auto it = previous.find(bundleId); it != previous.end()) {
      lastUsed[bundleId] = it->second;
      previous.erase(it);
    } else {
      lastUsed.erase(bundleId);
    }
    store();
  }
};

ActivationLog::ActivationLog(Defaults& defaults, const Clock& clock, ActivationSource& source)
    : state_(std::make_shared<State>(defaults, clock)) {
  state_->load();
  if (auto front = source.frontmostApplication(); front && isRecordable(*front)) {
    state_->lastUsed[*front] = clock.now();
  }
  std::weak_ptr<State> weak = state_;
  subscription_ = source.onActivation([weak](const std::string& bundleId) {
    if (auto state = weak.lock()) state->record(bundleId);
  });
}

ActivationLog::~ActivationLog() = default;

void ActivationLog::record(const std::string& bundleId) {
  state_->record(bundleId);
}

void ActivationLog::revertLastActivation(const std::string& bundleId) {
  state_->revert(bundleId);
}

std::optional<TimePoint> ActivationLog::previousUse(const std::string& bundleId) const {
  const auto it = state_->previous.find(bundleId);
  if (it == state_->previous.end()) return std::nullopt;
  return it->second;
}

void ActivationLog::restoreUse(const std::string& bundleId, std::optional<TimePoint> used) {
  state_->previous.erase(bundleId);
  if (used) {
    state_->lastUsed[bundleId] = *used;
  } else {
    state_->lastUsed.erase(bundleId);
  }
  state_->store();
}

std::optional<double> ActivationLog::secondsSinceLastUse(const std::string& bundleId) const {
  auto it = state_->lastUsed.find(bundleId);
  if (it == state_->lastUsed.end()) return std::nullopt;
  return secondsBetween(it->second, state_->clock.now());
}

const std::map<std::string, TimePoint>& ActivationLog::lastUsed() const {
  return state_->lastUsed;
}

}  // namespace tervane
