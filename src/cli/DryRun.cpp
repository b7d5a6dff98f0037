#include "cli/DryRun.h"

namespace tervane::cli {

BrowserAuthorization DryRunBrowserSurface::requestConsent(BrowserKind kind) {
  std::lock_guard lock(mutex_);
  needConsent_.push_back(kind);
  return BrowserAuthorization::notRunning();
}

std::vector<BrowserKind> DryRunBrowserSurface::needConsent() const {
  std::lock_guard lock(mutex_);
  return needConsent_;
}

DryRunPlatform::DryRunPlatform(std::shared_ptr<PlatformFactory> real)
    : real_(std::move(real)),
      browsers_(std::make_shared<DryRunBrowserSurface>(real_->browserSurface())) {}

std::shared_ptr<AppSurfacing> DryRunPlatform::appSurface(std::shared_ptr<ActivationLog> log) {
  return std::make_shared<DryRunAppSurface>(real_->appSurface(std::move(log)));
}

void CountingRunner::runTask(std::function<void()> work, std::function<void()> done) {
  ++inFlight_;
  inner_->runTask(std::move(work), [this, done = std::move(done)] {
    done();
    if (--inFlight_ == 0 && onSettled) onSettled();
  });
}

}  // namespace tervane::cli
