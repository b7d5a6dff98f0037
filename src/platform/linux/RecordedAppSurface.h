// The applications of a desktop whose compositor minimizes windows for other programs
// through a door of its own (KWin's scripts, a GNOME Shell extension), for the session
// model. An application is a Wayland app id, or the class of an XWayland window (a
// browser's fixed identifier for a browser), with at least one normal window on the
// taskbar, in the desktop's window order. Hiding minimizes every window of the
// application that is not already minimized, and records those windows (by the desktop's
// own ids, stable while it runs) in a file beside the stage journal first; unhiding
// restores exactly the recorded windows, so a window the person minimized stays minimized.
// A window counts as back only when the desktop reads it back as not minimized; one that
// did not come back stays in the record for a later restore, and a closed one leaves it.
// This application's own windows are listed and never put away. Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "stage/ActivationLog.h"
#include "surfaces/AppSurfacing.h"

namespace tervane::x11 {

// What the desktop does with windows, each answer as it reads the windows back.
class WindowDoor {
 public:
  struct Window {
    std::string app;  // the application identifier (a browser's fixed one)
    std::string id;
    std::string title;
    bool minimized = false;
    bool active = false;
    std::int64_t pid = 0;
  };
  struct Restore {
    bool present = false;           // the application has a window
    std::set<std::string> settled;  // of the ids asked: back, or closed
  };

  virtual ~WindowDoor() = default;
  // The application windows, top to bottom; none when the desktop does not answer.
  virtual std::optional<std::vector<Window>> windows() = 0;
  // Minimizes the windows; those minimized now, or none without an answer.
  virtual std::optional<std::set<std::string>> minimize(const std::vector<std::string>& ids) = 0;
  // Restores the application's windows among `ids`; with `activate`, then gives the focus
  // to its top shown window (its top window, restored, when every one is minimized).
  virtual std::optional<Restore> restore(const std::string& app, const std::set<std::string>& ids,
                                         bool activate) = 0;
};

class RecordedAppSurface final : public AppSurfacing {
 public:
  struct Options {
    // Beside the stage journal.
    std::filesystem::path hiddenRecordFile;
    AtomicWriteOptions recordWrite{};
    // Listed, never put away: this application's own app id and process.
    std::set<std::string> neverStow;
    std::optional<std::int64_t> ownPid;
    // Seconds since the person's last input; without it the person always counts as present.
    std::function<double()> idleSeconds;
  };

  RecordedAppSurface(std::shared_ptr<WindowDoor> door, std::shared_ptr<const ActivationLog> log,
                     Options options);

  std::vector<AppFacts> runningApps() override;
  bool hide(const std::string& bundleId) override;
  bool unhide(const std::string& bundleId) override;
  bool activate(const std::string& bundleId) override;
  double humanIdleSeconds() override { return options_.idleSeconds ? options_.idleSeconds() : 0.0; }
  std::vector<std::string> stillHidden() const override;

  // The recorded windows, application to window ids.
  const std::map<std::string, std::set<std::string>>& record() const { return record_; }

 private:
  std::optional<WindowDoor::Restore> restoreRecorded(const std::string& bundleId, bool activate);
  bool writeRecord(const std::map<std::string, std::set<std::string>>& record);

  std::shared_ptr<WindowDoor> door_;
  std::shared_ptr<const ActivationLog> log_;
  Options options_;
  std::map<std::string, std::set<std::string>> record_;
};

}  // namespace tervane::x11
