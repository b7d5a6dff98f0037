// A KDE Plasma Wayland desktop as the session model's platform, through KWin's scripting
// over D-Bus (`KWinBus`): the app surface (`x11::RecordedAppSurface` through
// `KWinWindowDoor`, with idle time from `WaylandIdle`) and an activation source fed by a
// script that stays loaded while this platform lives and reports each window KWin
// activates. A second resident script keeps this application's own windows above the
// others and on every virtual desktop, and gives the shield the keyboard. Both are
// unloaded when the platform goes, and ones left behind by a run that crashed are
// replaced at start.
//
// Browsers are reached through their companions when connected, else by their windows
// through KWin (`KWinBrowsers`).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "base/Signal.h"
#include "companion/BrowserStack.h"
#include "guard/GuardObserving.h"
#include "kwin/KWinAppSurface.h"
#include "kwin/KWinBus.h"
#include "kwin/WaylandIdle.h"
#include "session/PlatformFactory.h"
#include "stage/ActivationSource.h"

namespace tervane::kwin {

// Which application KWin has in front, from the resident script's reports. One
// activation per change of active application; never this application itself, and a
// moment with no active window changes nothing.
class KWinActivationSource final : public ActivationSource {
 public:
  static constexpr const char* kScriptName = "tervane-now-activations";

  KWinActivationSource(std::shared_ptr<KWinBus> bus, std::set<std::string> own,
                       std::optional<std::int64_t> ownPid);
  ~KWinActivationSource() override;
  KWinActivationSource(const KWinActivationSource&) = delete;
  KWinActivationSource& operator=(const KWinActivationSource&) = delete;

  // Loads the resident script; its first report names the window in front.
  Status start();
  std::optional<std::string> frontmostApplication() const override { return front_; }
  [[nodiscard]] Subscription onActivation(Handler handler) override;

 private:
  void reported(const std::string& token, const nlohmann::json& value);

  std::shared_ptr<KWinBus> bus_;
  std::set<std::string> own_;
  std::optional<std::int64_t> ownPid_;
  std::optional<std::string> front_;
  std::optional<std::string> last_;
  Signal<std::string> activations_;
  bool loaded_ = false;
};

class KWinPlatform final : public PlatformFactory {
 public:
  static constexpr const char* kOwnAppId = "org.tervane.now";
  // Keeps this application's windows above the others and on every virtual desktop.
  static constexpr const char* kOwnWindowsScript = "tervane-now-own-windows";

  struct Options {
    // The journal's folder; the hidden-window record and the script files are kept there.
    std::filesystem::path stateFolder;
    std::shared_ptr<ShieldPresenting> shield;
    std::shared_ptr<const companion::CompanionServer> companions;
    std::set<std::string> own{kOwnAppId};
    std::optional<std::int64_t> ownPid;
    AtomicWriteOptions recordWrite{};
  };

  // Connects to the session bus and loads the activation and own-window scripts.
  static Result<std::shared_ptr<KWinPlatform>> open(Options options);
  ~KWinPlatform() override;

  std::shared_ptr<ActivationSource> activationSource() override { return activations_; }
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override;
  std::shared_ptr<BrowserSurfacing> browserSurface() override { return browsers_.surface; }
  std::shared_ptr<ShieldPresenting> shield() override { return options_.shield; }
  std::shared_ptr<GuardObserving> guardMonitor();

  const std::shared_ptr<KWinBus>& bus() const { return bus_; }
  // The compositor's idle notification; null when it offers none.
  const std::shared_ptr<WaylandIdle>& idle() const { return idle_; }

 private:
  KWinPlatform(std::shared_ptr<KWinBus> bus, Options options);

  std::shared_ptr<KWinBus> bus_;
  Options options_;
  std::shared_ptr<WaylandIdle> idle_;
  std::shared_ptr<KWinActivationSource> activations_;
  companion::BrowserStack browsers_;
  std::shared_ptr<GuardObserving> monitor_;
};

}  // namespace tervane::kwin
