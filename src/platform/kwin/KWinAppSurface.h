// The applications of a KDE Plasma Wayland desktop for the session model, read and moved
// through scripts that KWin runs (`KWinBus`). An application is a Wayland app id, or the
// class of an XWayland window (a browser's fixed identifier for a browser), with at least
// one normal window on the taskbar, in KWin's window order. Hiding minimizes every window of the
// application that is not already minimized, and records those windows (by KWin's internal id,
// stable while KWin runs) in a file beside the stage journal first; unhiding restores exactly the
// recorded windows, so a window the person minimized stays minimized. A window counts as back only
// when KWin reads it back as not minimized; one that did not come back stays in the record for a
// later restore, and a closed one leaves it. This application's own windows are listed and never
// put away. Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "kwin/KWinBus.h"
#include "kwin/WaylandIdle.h"
#include "stage/ActivationLog.h"
#include "surfaces/AppSurfacing.h"

namespace tervane::kwin {

class KWinAppSurface final : public AppSurfacing {
 public:
  static constexpr const char* kRecordFileName = "kwin-hidden-windows.json";

  struct Options {
    // Beside the stage journal: folder / kRecordFileName.
    std::filesystem::path hiddenRecordFile;
    AtomicWriteOptions recordWrite{};
    // Listed, never put away: this application's own app id and process.
    std::set<std::string> neverStow;
    std::optional<std::int64_t> ownPid;
    // Without it the person always counts as present.
    std::shared_ptr<WaylandIdle> idle;
  };

  KWinAppSurface(std::shared_ptr<KWinBus> bus, std::shared_ptr<const ActivationLog> log,
                 Options options);

  std::vector<AppFacts> runningApps() override;
  bool hide(const std::string& bundleId) override;
  bool unhide(const std::string& bundleId) override;
  bool activate(const std::string& bundleId) override;
  double humanIdleSeconds() override { return options_.idle ? options_.idle->idleSeconds() : 0.0; }
  std::vector<std::string> stillHidden() const override;

  // The recorded windows, application to KWin window ids.
  const std::map<std::string, std::set<std::string>>& record() const { return record_; }

 private:
  struct Window {
    std::string app;
    std::string id;
    bool minimized = false;
    bool active = false;
    std::int64_t pid = 0;
  };
  std::optional<std::vector<Window>> windows();
  struct Restore {
    bool present = false;
    std::set<std::string> settled;  // back, or closed
  };
  std::optional<Restore> restoreRecorded(const std::string& bundleId, bool activate);
  bool writeRecord(const std::map<std::string, std::set<std::string>>& record);

  std::shared_ptr<KWinBus> bus_;
  std::shared_ptr<const ActivationLog> log_;
  Options options_;
  std::map<std::string, std::set<std::string>> record_;
};

}  // namespace tervane::kwin
