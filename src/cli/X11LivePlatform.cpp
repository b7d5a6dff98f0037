// The live desktop for the commands that look at it: the backend this session gets (X11,
// KWin on a Plasma Wayland session, GNOME Shell or sway), with its hidden-window record in the
// journal's folder.
#include <cstdlib>

#include "base/StateFolder.h"
#include "cli/DesktopChoice.h"
#include "cli/LivePlatform.h"
#include "gnome/GnomePlatform.h"
#include "kwin/KWinPlatform.h"
#include "linux/X11Platform.h"
#include "sway/SwayPlatform.h"

namespace tervane::cli {

Result<DesktopBackend> chooseSessionDesktop() {
  return chooseDesktop(
      [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
      },
      [](const std::string& desktop) {
        return kwin::KWinBus::nameOnSessionBus(desktop == "kwin" ? kwin::KWinBus::kService
                                                                 : gnome::GnomeShell::kService);
      });
}

Result<std::shared_ptr<PlatformFactory>> livePlatform() {
  const auto backend = chooseSessionDesktop();
  if (!backend) return Error{backend.error().message + " Or pass --desktop FILE.json.", 0};
  auto folder = defaultStageJournalFolder();
  if (!folder) return folder.error();
  if (backend.value() == DesktopBackend::kwin) {
    kwin::KWinPlatform::Options options;
    options.stateFolder = folder.value();
    auto platform = kwin::KWinPlatform::open(std::move(options));
    if (!platform) return Error{"KWin did not take the script: " + platform.error().message, 0};
    return std::shared_ptr<PlatformFactory>(platform.value());
  }
  if (backend.value() == DesktopBackend::gnome) {
    gnome::GnomePlatform::Options options;
    options.stateFolder = folder.value();
    auto platform = gnome::GnomePlatform::open(std::move(options));
    if (!platform) return platform.error();
    return std::shared_ptr<PlatformFactory>(platform.value());
  }
  if (backend.value() == DesktopBackend::sway) {
    sway::SwayPlatform::Options options;
    options.socketPath = std::getenv("SWAYSOCK");
    auto platform = sway::SwayPlatform::open(std::move(options));
    if (!platform) return platform.error();
    return std::shared_ptr<PlatformFactory>(platform.value());
  }
  auto connection = x11::XConnection::open();
  if (!connection) {
    return Error{"no live desktop (" + connection.error().message + "); pass --desktop FILE.json",
                 0};
  }
  x11::X11Platform::Options options;
  options.stateFolder = folder.value();
  return std::shared_ptr<PlatformFactory>(
      std::make_shared<x11::X11Platform>(connection.value(), std::move(options)));
}

}  // namespace tervane::cli
