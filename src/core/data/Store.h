// Where the current line and a few small settings live between runs: the current task,
// whether the first-run walk-through was seen, and the chosen tint. Everything is kept in
// the shared defaults suite, or in the standard defaults when the shared suite could not
// be opened. The store keeps nothing of its own, so every read sees the last write, and
// it never reports an error: stored data of the wrong shape reads as none.
#pragma once

#include <optional>
#include <string>

#include "base/Defaults.h"
#include "data/AttentionTask.h"

namespace tervane {

class Store {
 public:
  static constexpr const char* kTheNowTaskKey = "the_now_task";
  static constexpr const char* kHasSeenFirstRunKey = "has_seen_mac_first_run";
  static constexpr const char* kSelectedTintKey = "selected_tint_id";
  static constexpr const char* kDefaultTintId = "CARBON";

  explicit Store(Defaults& defaults) : defaults_(defaults) {}
  // The shared suite when the platform could open it (non-null), else the standard one.
  Store(Defaults* sharedSuite, Defaults& standard)
      : defaults_(sharedSuite ? *sharedSuite : standard) {}

  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  Defaults& defaults() const { return defaults_; }

  // The task stored as JSON text; none when absent or undecodable. Bad data stays in
  // place: reading never removes or rewrites it.
  std::optional<AttentionTask> theNow() const;
  // None removes the key; a task replaces what was stored. A task that cannot be
  // encoded leaves the stored one unchanged.
  void setTheNow(const std::optional<AttentionTask>& task);

  bool hasSeenMacFirstRun() const;
  void setHasSeenMacFirstRun(bool seen);

  std::string selectedTintId() const;
  void setSelectedTintId(const std::string& tintId);

 private:
  Defaults& defaults_;
};

}  // namespace tervane
