// Before a browser is read or moved: is it running (`BrowserPresence`), and may this
// application control it (`BrowserPermission`)? The silent status query goes through the
// browser's lane with a 3-second budget, so it waits behind a running script to the same
// browser and is refused while that browser's calls hang; asking the person for consent
// runs on the calling thread without a time limit.
#pragma once

#include <memory>
#include <vector>

#include "stage/BrowserKind.h"
#include "surfaces/AppleEventLane.h"
#include "surfaces/AutomationPermission.h"
#include "surfaces/BrowserAuthorization.h"

namespace tervane {

class BrowserPresence {
 public:
  explicit BrowserPresence(std::shared_ptr<AutomationPermission> platform);

  // The running browsers in the order chrome, safari, brave, edge, firefox.
  std::vector<BrowserKind> running() const;
  bool isRunning(BrowserKind kind) const;

 private:
  std::shared_ptr<AutomationPermission> platform_;
};

class BrowserPermission {
 public:
  static constexpr double kBudgetSeconds = 3.0;

  BrowserPermission(std::shared_ptr<AppleEventLane> lane,
                    std::shared_ptr<AutomationPermission> platform,
                    double budgetSeconds = kBudgetSeconds);

  // Never asks the person. `notRunning` without any query for a browser that is not
  // running; `busy` when the lane refuses or the query outlasts the budget.
  BrowserAuthorization status(BrowserKind kind) const;
  // May show the platform's consent prompt; blocks until the person has answered.
  BrowserAuthorization requestConsent(BrowserKind kind) const;

  const BrowserPresence& presence() const { return presence_; }

 private:
  std::shared_ptr<AppleEventLane> lane_;
  std::shared_ptr<AutomationPermission> platform_;
  BrowserPresence presence_;
  double budgetSeconds_;
};

}  // namespace tervane
