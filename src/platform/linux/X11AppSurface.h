// The X11 desktop's applications for the session model. An application is a WM_CLASS
// class with at least one managed, normal window on the taskbar, listed in the window
// manager's client order; the browsers carry their fixed identifiers. Hiding iconifies
// every normal window of the application that is not already minimized, and records
// those windows first (`HiddenWindowRecord`); unhiding restores exactly the recorded
// windows, so a window the person minimized stays minimized. Both count only what reads
// back (`WindowMover`): a window that did not minimize leaves the record at once, and one
// that did not come back stays in it until a later restore brings it back or it is gone.
// This application's own windows (its class, or its process) are listed and never put
// away. Main thread only.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "linux/ClientWindows.h"
#include "linux/DesktopEntries.h"
#include "linux/HiddenWindowRecord.h"
#include "linux/WindowMover.h"
#include "linux/XConnection.h"
#include "stage/ActivationLog.h"
#include "surfaces/AppSurfacing.h"

namespace tervane::x11 {

class X11AppSurface final : public AppSurfacing {
 public:
  static AtomicWriteOptions unsyncedWrite() {
    AtomicWriteOptions options;
    options.sync = false;
    return options;
  }

  struct Options {
    // Beside the stage journal: journal.directory() / HiddenWindowRecord::kFileName.
    std::filesystem::path hiddenRecordFile;
    // Replaced atomically but not synced to disk: the record matters only while this X
    // session lives, and whatever ends the session with the system (a power loss) ends
    // its windows too. It must survive this program crashing, which the page cache does.
    AtomicWriteOptions recordWrite = unsyncedWrite();
    OwnIdentity own{};
    std::vector<std::filesystem::path> desktopEntryFolders = DesktopEntries::defaultFolders();
    // Null: one with its own connection to the same display.
    std::shared_ptr<WindowMover> mover;
    // Called on the main thread when a window this surface hid comes back by other means
    // than this surface (a taskbar), with or without the focus.
    std::function<void(const std::string& bundleId)> onReturn;
  };

  X11AppSurface(std::shared_ptr<XConnection> connection, std::shared_ptr<const ActivationLog> log,
                Options options);

  std::vector<AppFacts> runningApps() override;
  bool hide(const std::string& bundleId) override;
  bool unhide(const std::string& bundleId) override;
  bool activate(const std::string& bundleId) override;
  double humanIdleSeconds() override;
  std::vector<std::string> stillHidden() const override;

  // Identifiers that are listed but never put away: this application's own.
  const std::set<std::string>& neverStow() const { return neverStow_; }
  const HiddenWindowRecord& record() const { return record_; }

 private:
  std::string identifierOf(const ClientWindow& window) const;
  // The application's normal windows, in client order; empty when it does not run.
  std::vector<ClientWindow> windowsOf(const std::string& bundleId);
  struct Restore {
    bool complete = false;        // every recorded window is back or gone
    std::set<xcb_window_t> back;  // brought back by this call
  };
  // Restores the recorded windows that are still minimized, and takes out of the record
  // those that are back or gone; none when the application does not run.
  std::optional<Restore> restoreRecorded(const std::string& bundleId, WindowMover::Focus focus);
  // Watches the state of the recorded windows on the shared connection.
  void watchRecorded();
  void stateChanged(xcb_window_t window);

  std::shared_ptr<XConnection> connection_;
  std::shared_ptr<WindowMover> mover_;
  std::shared_ptr<const ActivationLog> log_;
  OwnIdentity own_;
  std::set<std::string> neverStow_;
  HiddenWindowRecord record_;
  DesktopEntries entries_;
  ClientCache clients_;
  std::function<void(const std::string&)> onReturn_;
  // Recorded windows seen back by other means, each reported once until hidden again.
  std::set<xcb_window_t> seenBack_;
  XConnection::EventSignal::Connection events_;
};

}  // namespace tervane::x11
