#include "cli/DryRun.h"

namespace tervane::cli {

BrowserAuthorization DryRunBrowserSurface::requestConsent(BrowserKind kind) {
  std::lock_guard lock(mutex_);
  needConsent_.push_back(kind);
  return BrowserAuthorization::notRunning();
}

AppleScriptResult<std::vector<WindowFacts>> DryRunBrowserSurface::windows(BrowserKind kind) {
  if (application_) {
    if (const auto reply = application_(kind); reply && reply->ok) {
      std::vector<WindowFacts> windows;
      const auto list = reply->status.value("windows", nlohmann::json());
      bool whole = list.is_array();
      for (const auto& item : whole ? list : nlohmann::json::array()) {
        auto window = decodeWindowFacts(item);
        whole = whole && window && window->browser == kind;
        if (whole) windows.push_back(std::move(*window));
      }
      // A reply that does not read whole is no reading: the desktop's own stands.
      if (whole) {
        std::lock_guard lock(mutex_);
        applicationWindowsOnly_[kind] = reply->status.value("windowsOnly", true);
        return windows;
      }
    }
  }
  return real_->windows(kind);
}

bool DryRunBrowserSurface::seesWindowsOnly(BrowserKind kind) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = applicationWindowsOnly_.find(kind); it != applicationWindowsOnly_.end()) {
      return it->second;
    }
  }
  return real_->seesWindowsOnly(kind);
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
