// The X11 desktop as the session model's platform: one activation source (shared by the
// model's activation log and the guard monitor), the app surface over the model's log
// with its hidden-window record beside the journal, and the browser surface: the script
// engine over the browsers' companions or else their X11 windows, reached through one lane with its
// time limits, with presence and permission from the X11 clients and the process list. The shield
// comes from the user interface, which hands it in.
//
// Events: the owner of the main loop watches `connection()->fileDescriptor()` and calls
// `connection()->dispatch()` on the main thread when it is readable; `attach` arranges
// the second half (events already read into memory) through the main queue.
#pragma once

#include <filesystem>
#include <memory>

#include "base/MainQueue.h"
#include "companion/CompanionServer.h"
#include "guard/GuardObserving.h"
#include "linux/ClientWindows.h"
#include "linux/DesktopEntries.h"
#include "linux/WindowMover.h"
#include "linux/X11ActivationSource.h"
#include "linux/X11AppSurface.h"
#include "linux/X11AutomationPermission.h"
#include "linux/XConnection.h"
#include "session/PlatformFactory.h"
#include "surfaces/AppleEventLane.h"
#include "surfaces/AppleScriptRunner.h"
#include "surfaces/BrowserPermission.h"
#include "surfaces/BrowserSurface.h"

namespace tervane::x11 {

class X11Platform final : public PlatformFactory {
 public:
  struct Options {
    // The journal's folder; the hidden-window record is kept there.
    std::filesystem::path stateFolder;
    OwnIdentity own{};
    std::vector<std::filesystem::path> desktopEntryFolders = DesktopEntries::defaultFolders();
    std::filesystem::path procRoot = "/proc";
    std::shared_ptr<ShieldPresenting> shield;
    AtomicWriteOptions recordWrite = X11AppSurface::unsyncedWrite();
    // The browser companions' socket: a browser whose companion is connected is scripted
    // through it (real tabs and addresses), any other through its X11 windows.
    std::shared_ptr<const companion::CompanionServer> companions;
  };

  X11Platform(std::shared_ptr<XConnection> connection, Options options);

  // Posts a dispatch to `main` whenever a reply wait left events in memory.
  static void attach(const std::shared_ptr<XConnection>& connection,
                     std::shared_ptr<MainQueue> main);

  std::shared_ptr<ActivationSource> activationSource() override;
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override;
  std::shared_ptr<BrowserSurfacing> browserSurface() override;
  std::shared_ptr<ShieldPresenting> shield() override { return options_.shield; }

  // The guard monitor over the same activation source.
  std::shared_ptr<GuardObserving> guardMonitor();

  const std::shared_ptr<XConnection>& connection() const { return connection_; }
  const std::shared_ptr<AppleEventLane>& lane() const { return lane_; }
  const std::shared_ptr<AppleScriptRunner>& runner() const { return runner_; }
  const std::shared_ptr<BrowserPermission>& permission() const { return permission_; }

 private:
  std::shared_ptr<XConnection> connection_;
  Options options_;
  std::shared_ptr<WindowMover> mover_;
  std::shared_ptr<X11ActivationSource> activationSource_;
  std::shared_ptr<X11AutomationPermission> presence_;
  std::shared_ptr<AppleEventLane> lane_;
  std::shared_ptr<BrowserPermission> permission_;
  std::shared_ptr<AppleScriptRunner> runner_;
  std::shared_ptr<BrowserSurface> browsers_;
  std::shared_ptr<GuardObserving> monitor_;
};

}  // namespace tervane::x11
