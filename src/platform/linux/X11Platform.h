// The X11 desktop as the session model's platform: one activation source (shared by the
// model's activation log and the guard monitor), the app surface over the model's log
// with its hidden-window record beside the journal, and the browser surface over the
// browsers' companions or else their X11 windows, with presence and permission from the
// X11 clients and the process list. The shield comes from the user interface, which
// hands it in.
//
// Events: the owner of the main loop watches `connection()->fileDescriptor()` and calls
// `connection()->dispatch()` on the main thread when it is readable, and when the
// connection's wake handler says a reply wait left events in memory.
#pragma once

#include <filesystem>
#include <memory>

#include "companion/BrowserStack.h"
#include "guard/GuardObserving.h"
#include "linux/ClientWindows.h"
#include "linux/DesktopEntries.h"
#include "linux/WindowMover.h"
#include "linux/X11ActivationSource.h"
#include "linux/X11AppSurface.h"
#include "linux/X11AutomationPermission.h"
#include "linux/XConnection.h"
#include "session/PlatformFactory.h"

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

  std::shared_ptr<ActivationSource> activationSource() override;
  std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) override;
  std::shared_ptr<BrowserSurfacing> browserSurface() override;
  std::shared_ptr<ShieldPresenting> shield() override { return options_.shield; }

  // The guard monitor over the same activation source.
  std::shared_ptr<GuardObserving> guardMonitor();

  const std::shared_ptr<XConnection>& connection() const { return connection_; }

 private:
  std::shared_ptr<XConnection> connection_;
  Options options_;
  std::shared_ptr<WindowMover> mover_;
  std::shared_ptr<X11ActivationSource> activationSource_;
  std::shared_ptr<X11AutomationPermission> presence_;
  companion::BrowserStack browsers_;
  std::shared_ptr<GuardObserving> monitor_;
};

}  // namespace tervane::x11
