// When each application last became the active one, kept across runs in the standard
// defaults under "mac_activation_log" (identifier to seconds since 1970, fractions kept).
// The planner's recency rule and the question of whether the person went back to an
// application during a stage both read it.
//
// The log listens to an `ActivationSource` from construction on and records every
// activation. It remembers one step back per application so that the activation that
// raised the shield can be taken back when the person sends the application away again.
// The frontmost application at construction is entered in memory only: nothing is
// written until something is recorded or reverted. Main thread only.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "stage/ActivationSource.h"

namespace tervane {

class ActivationLog {
 public:
  static constexpr const char* kDefaultsKey = "mac_activation_log";

  // `defaults` (the standard suite), `clock` and `source` must outlive the log; the
  // source may be torn down first.
  ActivationLog(Defaults& defaults, const Clock& clock, ActivationSource& source);
  ~ActivationLog();

  ActivationLog(const ActivationLog&) = delete;
  ActivationLog& operator=(const ActivationLog&) = delete;

  // The application became active now; stores the map. An empty or non-UTF-8
  // identifier is ignored.
  void record(const std::string& bundleId);
  // Undoes the latest `record` for the application (one step only: a second revert
  // forgets the application altogether); stores the map.
  void revertLastActivation(const std::string& bundleId);
  // What `revertLastActivation` would go back to: the use before the latest one (none
  // when there was none).
  std::optional<TimePoint> previousUse(const std::string& bundleId) const;
  // Sets the application's last use (none forgets it) and forgets the step back; stores.
  void restoreUse(const std::string& bundleId, std::optional<TimePoint> used);
  // Seconds from the last activation to now (positive for a past one); none when the
  // application was never seen.
  std::optional<double> secondsSinceLastUse(const std::string& bundleId) const;

  const std::map<std::string, TimePoint>& lastUsed() const;

 private:
  struct State;
  // Shared with the activation handler only weakly, so a late activation finds no log
  // rather than a destroyed one.
  std::shared_ptr<State> state_;
  ActivationSource::Subscription subscription_;
};

}  // namespace tervane
