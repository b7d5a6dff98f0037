// Runs script texts against the browsers: each call goes through the browser's lane with
// a budget of 8 seconds and is executed there by the platform's ScriptExecutor. A call
// that is refused or runs out of time is `busy`; a text that cannot be compiled is
// failed(0, "could not compile"); a script error maps by its number.
#pragma once

#include <memory>

#include "surfaces/AppleEventLane.h"
#include "surfaces/AppleScripting.h"
#include "surfaces/ScriptExecutor.h"

namespace tervane {

class AppleScriptRunner final : public AppleScripting {
 public:
  static constexpr double kBudgetSeconds = 8.0;

  AppleScriptRunner(std::shared_ptr<AppleEventLane> lane, std::shared_ptr<ScriptExecutor> executor,
                    double budgetSeconds = kBudgetSeconds);

  AppleScriptResult<ReplyDescriptor> run(const std::string& script, BrowserKind kind) override;

 private:
  std::shared_ptr<AppleEventLane> lane_;
  std::shared_ptr<ScriptExecutor> executor_;
  double budgetSeconds_;
};

}  // namespace tervane
