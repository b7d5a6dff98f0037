// Everything a session model needs from a simulated desktop, built from one JSON
// description: the apps, activations and guard monitor of `SimDesktop`, and browsers that
// answer the real script texts through the real lanes, runner, permission check and
// script engine. Used by the dry-run preview, the card tool and tests.
#pragma once

#include <map>
#include <memory>

#include "script/BrowserRegistry.h"
#include "script/SimulatedBrowser.h"
#include "session/PlatformFactory.h"
#include "sim/SimDesktop.h"
#include "surfaces/AppleEventLane.h"
#include "surfaces/AppleScriptRunner.h"
#include "surfaces/BrowserSurface.h"

namespace tervane::sim {

// How long the simulated browsers' lanes wait: the real limits unless a test shortens them.
struct SimBudgets {
  double permissionSeconds = BrowserPermission::kBudgetSeconds;
  double scriptSeconds = AppleScriptRunner::kBudgetSeconds;
  // Handed to the lane: sees every wait with its budget (AppleEventLane::WaitWatcher).
  AppleEventLane::WaitWatcher watchWaits;
};

class SimPlatform final : public PlatformFactory {
 public:
  using Budgets = SimBudgets;

  static Result<std::shared_ptr<SimPlatform>> fromJson(const nlohmann::json& description,
                                                       std::shared_ptr<const Clock> clock,
                                                       SimBudgets budgets = SimBudgets());

  SimPlatform(std::shared_ptr<SimDesktop> desktop, std::shared_ptr<const Clock> clock,
              std::map<BrowserKind, std::shared_ptr<SimulatedBrowser>> browsers, Budgets budgets);
  ~SimPlatform() override;

  std::shared_ptr<ActivationSource> activationSource() override;
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override;
  std::shared_ptr<BrowserSurfacing> browserSurface() override { return surface_; }
  std::shared_ptr<ShieldPresenting> shield() override { return shield_; }

  const std::shared_ptr<SimDesktop>& desktop() const { return desktop_; }
  const std::shared_ptr<SimGuardMonitor>& monitor() const { return monitor_; }
  const std::shared_ptr<RecordingShield>& recordingShield() const { return shield_; }
  const std::shared_ptr<AppleEventLane>& lane() const { return lane_; }
  // The simulated browser of a running kind, or null.
  std::shared_ptr<SimulatedBrowser> browser(BrowserKind kind) const;

 private:
  std::shared_ptr<SimDesktop> desktop_;
  std::shared_ptr<const Clock> clock_;
  std::map<BrowserKind, std::shared_ptr<SimulatedBrowser>> browsers_;
  std::shared_ptr<AppleEventLane> lane_;
  std::shared_ptr<BrowserSurface> surface_;
  std::shared_ptr<SimGuardMonitor> monitor_;
  std::shared_ptr<RecordingShield> shield_;
};

}  // namespace tervane::sim
