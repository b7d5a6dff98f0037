#include "sim/SimPlatform.h"

#include "script/ScriptEngine.h"
#include "surfaces/AppleScriptRunner.h"

namespace tervane::sim {

Result<std::shared_ptr<SimPlatform>> SimPlatform::fromJson(const nlohmann::json& description,
                                                           std::shared_ptr<const Clock> clock,
                                                           Budgets budgets) {
  auto desktop = SimDesktop::fromJson(description, clock);
  if (!desktop) return desktop.error();
  std::map<BrowserKind, std::shared_ptr<SimulatedBrowser>> browsers;
  for (const auto& [raw, stateJson] : desktop.value()->browserStates().items()) {
    const auto kind = *browserKindFromRaw(raw);  // checked by the desktop
    auto state = SimulatedState::fromJson(stateJson);
    if (!state) return Error{"browser \"" + raw + "\": " + state.error().message, 0};
    const auto dictionary = info(kind).isChromium ? ScriptDictionary::chromium : ScriptDictionary::safari;
    browsers[kind] = std::make_shared<SimulatedBrowser>(dictionary, std::move(state).value());
  }
  return std::make_shared<SimPlatform>(std::move(desktop).value(), std::move(clock),
                                       std::move(browsers), budgets);
}

SimPlatform::SimPlatform(std::shared_ptr<SimDesktop> desktop, std::shared_ptr<const Clock> clock,
                         std::map<BrowserKind, std::shared_ptr<SimulatedBrowser>> browsers,
                         Budgets budgets)
    : desktop_(std::move(desktop)),
      clock_(std::move(clock)),
      browsers_(std::move(browsers)),
      lane_(std::make_shared<AppleEventLane>(budgets.watchWaits)),
      monitor_(std::make_shared<SimGuardMonitor>(desktop_)),
      shield_(std::make_shared<RecordingShield>()) {
  auto registry = std::make_shared<BrowserRegistry>();
  for (const auto& [kind, browser] : browsers_) registry->add(appName(kind), browser);
  auto runner = std::make_shared<AppleScriptRunner>(
      lane_, std::make_shared<ScriptEngine>(registry), budgets.scriptSeconds);
  auto permission = std::make_shared<BrowserPermission>(
      lane_, std::make_shared<SimAutomation>(desktop_), budgets.permissionSeconds);
  surface_ = std::make_shared<BrowserSurface>(runner, permission);
}

SimPlatform::~SimPlatform() {
  // A browser held to stand for a hung one must let its lane threads go before the
  // lane is torn down.
  for (const auto& [kind, browser] : browsers_) browser->release();
  desktop_->releaseHungQueries();
  lane_->joinAbandonedWorkers();
}

std::shared_ptr<ActivationSource> SimPlatform::activationSource() {
  return std::make_shared<SimActivationSource>(desktop_);
}

std::shared_ptr<AppSurfacing> SimPlatform::appSurface(std::shared_ptr<ActivationLog> log) {
  return std::make_shared<SimAppSurface>(desktop_, clock_, std::move(log));
}

std::shared_ptr<SimulatedBrowser> SimPlatform::browser(BrowserKind kind) const {
  auto it = browsers_.find(kind);
  return it == browsers_.end() ? nullptr : it->second;
}

}  // namespace tervane::sim
