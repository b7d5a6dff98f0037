// A GNOME Shell desktop (Wayland or X11) as the session model's platform, through the
// Tervane Now extension (`GnomeShell`): the app surface (`x11::RecordedAppSurface` through
// `GnomeWindowDoor`, with idle time from Mutter's idle monitor) and an activation source fed
// by the extension's focus signal. Browsers are reached through their companions when
// connected, else by their windows through the extension.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "base/AtomicFile.h"
#include "base/Signal.h"
#include "companion/BrowserStack.h"
#include "gnome/GnomeShell.h"
#include "guard/GuardObserving.h"
#include "session/PlatformFactory.h"
#include "stage/ActivationSource.h"

namespace tervane::gnome {

// Which application has the focus, from the extension's reports: one activation per
// change of focused application; never this application itself, and a moment with no
// focused window changes nothing.
class GnomeActivationSource final : public ActivationSource {
 public:
  GnomeActivationSource(std::set<std::string> own, std::optional<std::int64_t> ownPid)
      : own_(std::move(own)), ownPid_(ownPid) {}

  std::optional<std::string> frontmostApplication() const override { return front_; }
  [[nodiscard]] Subscription onActivation(Handler handler) override;

  // The window with the focus as the extension describes it; `announce` is false for the
  // one in front at start.
  void focused(const nlohmann::json& window, bool announce);

 private:
  std::set<std::string> own_;
  std::optional<std::int64_t> ownPid_;
  std::optional<std::string> front_;
  Signal<std::string> activations_;
};

class GnomePlatform final : public PlatformFactory {
 public:
  static constexpr const char* kOwnAppId = "org.tervane.now";

  struct Options {
    // The journal's folder; the hidden-window record is kept there.
    std::filesystem::path stateFolder;
    std::shared_ptr<ShieldPresenting> shield;
    std::shared_ptr<const companion::CompanionServer> companions;
    std::set<std::string> own{kOwnAppId};
    std::optional<std::int64_t> ownPid;
    AtomicWriteOptions recordWrite{};
  };

  // Connects to the session bus; an error when the extension does not answer.
  static Result<std::shared_ptr<GnomePlatform>> open(Options options);

  std::shared_ptr<ActivationSource> activationSource() override { return activations_; }
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override;
  std::shared_ptr<BrowserSurfacing> browserSurface() override { return browsers_.surface; }
  std::shared_ptr<ShieldPresenting> shield() override { return options_.shield; }
  std::shared_ptr<GuardObserving> guardMonitor();

  const std::shared_ptr<GnomeShell>& shell() const { return shell_; }

 private:
  GnomePlatform(std::shared_ptr<GnomeShell> shell, Options options);

  std::shared_ptr<GnomeShell> shell_;
  Options options_;
  std::shared_ptr<GnomeActivationSource> activations_;
  GnomeShell::Signals::Connection focusSignal_;
  companion::BrowserStack browsers_;
  std::shared_ptr<GuardObserving> monitor_;
};

}  // namespace tervane::gnome
