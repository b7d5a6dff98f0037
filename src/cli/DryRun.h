// Surfaces that read the real desktop but move nothing: a dry run records what staging
// would hide, show, minimize or restore, and never asks the person for consent.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/OffMainRunning.h"
#include "control/ControlProtocol.h"
#include "guard/GuardObserving.h"
#include "session/PlatformFactory.h"

namespace tervane::cli {

class DryRunAppSurface final : public AppSurfacing {
 public:
  explicit DryRunAppSurface(std::shared_ptr<AppSurfacing> real) : real_(std::move(real)) {}
  std::vector<AppFacts> runningApps() override { return real_->runningApps(); }
  double humanIdleSeconds() override { return real_->humanIdleSeconds(); }
  bool hide(const std::string& id) override { return record("hide " + id); }
  bool unhide(const std::string& id) override { return record("unhide " + id); }
  bool activate(const std::string& id) override { return record("activate " + id); }
  const std::vector<std::string>& moves() const { return moves_; }

 private:
  bool record(std::string move) {
    moves_.push_back(std::move(move));
    return true;
  }
  std::shared_ptr<AppSurfacing> real_;
  std::vector<std::string> moves_;
};

class DryRunBrowserSurface final : public BrowserSurfacing {
 public:
  explicit DryRunBrowserSurface(std::shared_ptr<BrowserSurfacing> real) : real_(std::move(real)) {}

  std::vector<BrowserKind> runningBrowsers() override { return real_->runningBrowsers(); }
  BrowserAuthorization authorization(BrowserKind kind) override {
    return real_->authorization(kind);
  }
  // Nobody is asked during a dry run: the browser is noted and left out of the pass.
  BrowserAuthorization requestConsent(BrowserKind kind) override;
  AppleScriptResult<std::vector<WindowFacts>> windows(BrowserKind kind) override;
  AppleScriptResult<int> minimize(const std::vector<std::int64_t>& ids, BrowserKind) override {
    return static_cast<int>(ids.size());
  }
  AppleScriptResult<int> restore(const std::vector<std::int64_t>& ids, BrowserKind) override {
    return static_cast<int>(ids.size());
  }
  AppleScriptStatus focus(std::int64_t, int, BrowserKind) override { return Done{}; }
  bool seesWindowsOnly(BrowserKind kind) override;

  // The running application's reading of a browser, when there is one: its companions
  // show real tabs and addresses that this process cannot reach. A browser it answers
  // for is read through it; otherwise this desktop's own reading stands.
  using ApplicationReading = std::function<std::optional<ControlReply>(BrowserKind)>;
  void readThroughApplication(ApplicationReading reading) { application_ = std::move(reading); }

  // Browsers that would have been asked for consent, in the order they came up.
  std::vector<BrowserKind> needConsent() const;

 private:
  std::shared_ptr<BrowserSurfacing> real_;
  mutable std::mutex mutex_;
  std::vector<BrowserKind> needConsent_;
  ApplicationReading application_;
  std::map<BrowserKind, bool> applicationWindowsOnly_;
};

// Wraps a platform so the model built on it reads everything and moves nothing.
class DryRunPlatform final : public PlatformFactory {
 public:
  explicit DryRunPlatform(std::shared_ptr<PlatformFactory> real);
  std::shared_ptr<ActivationSource> activationSource() override {
    return real_->activationSource();
  }
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override;
  std::shared_ptr<BrowserSurfacing> browserSurface() override { return browsers_; }
  std::shared_ptr<ShieldPresenting> shield() override { return real_->shield(); }
  const std::shared_ptr<DryRunBrowserSurface>& browsers() const { return browsers_; }

 private:
  std::shared_ptr<PlatformFactory> real_;
  std::shared_ptr<DryRunBrowserSurface> browsers_;
};

// A guard that never watches: nothing comes forward during a dry run.
class IdleMonitor final : public GuardObserving {
 public:
  void start(std::function<void(const std::string&)>) override { running_ = true; }
  void stop() override { running_ = false; }
  bool isRunning() const override { return running_; }

 private:
  bool running_ = false;
};

// Counts the background tasks whose completion has not run yet and calls `onSettled` on
// the main thread each time the count falls to zero.
class CountingRunner final : public OffMainRunning {
 public:
  explicit CountingRunner(std::shared_ptr<OffMainRunning> inner) : inner_(std::move(inner)) {}
  void runTask(std::function<void()> work, std::function<void()> done) override;
  int inFlight() const { return inFlight_; }
  std::function<void()> onSettled;

 private:
  std::shared_ptr<OffMainRunning> inner_;
  int inFlight_ = 0;  // main thread only
};

}  // namespace tervane::cli
