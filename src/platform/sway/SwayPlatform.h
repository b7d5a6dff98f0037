// A sway desktop as the session model's platform, through its IPC (the i3 protocol): the
// app surface (`SwayAppSurface`, with idle time from `WaylandIdle`) and an activation source
// fed by sway's window events, read on a connection of their own as the main loop finds it
// readable. This application's own windows float on every workspace, by a rule given to
// sway at start. Sway has no global shortcuts for other programs: the person binds keys to
// the command line's sub-commands in sway's configuration.
//
// Browsers are reached through their companions when connected, else by their windows in
// sway's tree (`SwayBrowsers`).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "base/Signal.h"
#include "companion/BrowserStack.h"
#include "guard/GuardObserving.h"
#include "kwin/WaylandIdle.h"
#include "linux/I3Ipc.h"
#include "linux/Scratchpad.h"
#include "session/PlatformFactory.h"
#include "stage/ActivationSource.h"
#include "sway/SwayAppSurface.h"

namespace tervane::sway {

// Which application sway has focused, from its window events: one activation per change
// of focused application; never this application itself.
class SwayActivationSource final : public ActivationSource {
 public:
  SwayActivationSource(std::set<std::string> own, std::optional<std::int64_t> ownPid)
      : own_(std::move(own)), ownPid_(ownPid) {}

  std::optional<std::string> frontmostApplication() const override { return front_; }
  [[nodiscard]] Subscription onActivation(Handler handler) override;

  // The window in front at start, which is not an activation.
  void start(const x11::TreeWindow& focused);
  // A window event of sway's IPC.
  void event(const nlohmann::json& event);

 private:
  void focused(const x11::TreeWindow& window, bool announce);

  std::set<std::string> own_;
  std::optional<std::int64_t> ownPid_;
  std::optional<std::string> front_;
  Signal<std::string> activations_;
};

class SwayPlatform final : public PlatformFactory {
 public:
  static constexpr const char* kOwnAppId = "org.tervane.now";

  struct Options {
    std::string socketPath;  // $SWAYSOCK
    std::shared_ptr<ShieldPresenting> shield;
    std::shared_ptr<const companion::CompanionServer> companions;
    std::set<std::string> own{kOwnAppId};
    std::optional<std::int64_t> ownPid;
  };

  // Connects to sway's IPC twice (requests, and window events) and gives it the rule for
  // this application's windows; an error when sway does not answer.
  static Result<std::shared_ptr<SwayPlatform>> open(Options options);

  std::shared_ptr<ActivationSource> activationSource() override { return activations_; }
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override;
  std::shared_ptr<BrowserSurfacing> browserSurface() override { return browsers_.surface; }
  std::shared_ptr<ShieldPresenting> shield() override { return options_.shield; }
  std::shared_ptr<GuardObserving> guardMonitor();

  // The window events: watched by the main loop, read by `dispatch` (false once sway is
  // gone).
  int fileDescriptor() const { return events_->fileDescriptor(); }
  bool dispatch();
  // The compositor's idle notification; null when it offers none.
  const std::shared_ptr<kwin::WaylandIdle>& idle() const { return idle_; }
  const std::shared_ptr<x11::Scratchpad>& scratchpad() const { return scratchpad_; }

 private:
  explicit SwayPlatform(Options options);

  Options options_;
  std::shared_ptr<x11::Scratchpad> scratchpad_;
  std::unique_ptr<x11::I3Ipc> events_;
  std::shared_ptr<kwin::WaylandIdle> idle_;
  std::shared_ptr<SwayActivationSource> activations_;
  companion::BrowserStack browsers_;
  std::shared_ptr<GuardObserving> monitor_;
};

}  // namespace tervane::sway
