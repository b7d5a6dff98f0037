// Looks back once at a finished stage and finds at most one thing to learn: kept apps the
// person never opened although they could have been hidden (hide them next time), and
// apps the person sent away and then let back in through the shield (stop hiding them).
// Also words the one question the card asks about it. Pure functions of their inputs.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "stage/StagePlanner.h"
#include "stage/StageRecords.h"

namespace tervane::ObservationLog {

struct Observation {
  std::vector<StageItem> putAwayNextTime;  // in the stage's kept order
  std::vector<StageItem> keepNextTime;     // in the stage's kept order
  std::string actionText;

  bool isEmpty() const { return putAwayNextTime.empty() && keepNextTime.empty(); }

  friend bool operator==(const Observation&, const Observation&) = default;
};

struct Prompt {
  std::string question;
  std::string yes;
  std::string no;

  friend bool operator==(const Prompt&, const Prompt&) = default;
};

// Only the stage's kept apps are looked at; stowed items, windows and tabs never are.
// `wasReachedFor(bundleId)` says whether the person used the app after the stage began;
// it is asked only about apps that could otherwise be proposed for hiding. A missing test
// counts as "reached", so nothing is proposed for hiding.
// `stowable`: bundle identifiers of the running apps that can be hidden.
Observation observe(const StageSnapshot& stage,
                    const std::function<bool(const std::string& bundleId)>& wasReachedFor,
                    const std::set<std::string>& stowable, const RememberedChoices& remembered);

// The one question for an observation, or none when there is nothing to ask.
std::optional<Prompt> prompt(const Observation& observation);

}  // namespace tervane::ObservationLog
