#include "surfaces/BrowserPermission.h"

#include <set>

namespace tervane {
namespace {

BrowserAuthorization ask(AutomationPermission& platform, BrowserKind kind, bool askUserIfNeeded) {
  const auto status = platform.automationStatus(bundleId(kind), askUserIfNeeded);
  if (!status) return BrowserAuthorization::unknown(0);
  return BrowserAuthorization::fromStatus(*status);
}

}  // namespace

BrowserPresence::BrowserPresence(std::shared_ptr<AutomationPermission> platform)
    : platform_(std::move(platform)) {}

std::vector<BrowserKind> BrowserPresence::running() const {
  const auto ids = platform_->runningApplicationIds();
  const std::set<std::string> running(ids.begin(), ids.end());
  std::vector<BrowserKind> kinds;
  for (auto kind : kAllBrowserKinds) {
    if (running.count(bundleId(kind))) kinds.push_back(kind);
  }
  return kinds;
}

bool BrowserPresence::isRunning(BrowserKind kind) const {
  for (auto running : this->running()) {
    if (running == kind) return true;
  }
  return false;
}

BrowserPermission::BrowserPermission(std::shared_ptr<AppleEventLane> lane,
                                     std::shared_ptr<AutomationPermission> platform,
                                     double budgetSeconds)
    : lane_(std::move(lane)),
      platform_(platform),
      presence_(std::move(platform)),
      budgetSeconds_(budgetSeconds) {}

BrowserAuthorization BrowserPermission::status(BrowserKind kind) const {
  if (!presence_.isRunning(kind)) return BrowserAuthorization::notRunning();
  auto answer = lane_->run(kind, budgetSeconds_,
                           [platform = platform_, kind] { return ask(*platform, kind, false); });
  return answer.value_or(BrowserAuthorization::busy());
}

BrowserAuthorization BrowserPermission::requestConsent(BrowserKind kind) const {
  if (!presence_.isRunning(kind)) return BrowserAuthorization::notRunning();
  return ask(*platform_, kind, true);
}

}  // namespace tervane
