#include "surfaces/AppleScriptRunner.h"

namespace tervane {
namespace {

// Compiles and runs the text on the calling thread (the browser's lane).
AppleScriptResult<ReplyDescriptor> execute(ScriptExecutor& executor, const std::string& script) {
  auto outcome = executor.execute(script);
  if (auto* reply = std::get_if<ReplyDescriptor>(&outcome)) return std::move(*reply);
  auto& failure = std::get<ScriptFailure>(outcome);
  if (failure.compileFailure) return AppleScriptError::failed(0, "could not compile");
  return AppleScriptError(failure.number.value_or(0), failure.message.value_or("unknown"));
}

}  // namespace

AppleScriptRunner::AppleScriptRunner(std::shared_ptr<AppleEventLane> lane,
                                     std::shared_ptr<ScriptExecutor> executor, double budgetSeconds)
    : lane_(std::move(lane)), executor_(std::move(executor)), budgetSeconds_(budgetSeconds) {}

AppleScriptResult<ReplyDescriptor> AppleScriptRunner::run(const std::string& script,
                                                          BrowserKind kind) {
  // The work owns what it uses: after a timeout it may outlive this runner.
  auto outcome = lane_->run(kind, budgetSeconds_,
                            [executor = executor_, script] { return execute(*executor, script); });
  if (!outcome) return AppleScriptError::busy();
  return std::move(*outcome);
}

}  // namespace tervane
