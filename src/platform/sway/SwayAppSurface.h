// The applications of a sway desktop for the session model, read from and moved through
// its IPC. An application is a Wayland app id, or the X class of an XWayland window (a
// browser's fixed identifier for a browser), with at least one window in the tree. Sway
// has no minimizing: hiding puts every window of the application that is out in the
// scratchpad (`x11::Scratchpad`), each marked with its place in the same command that
// moves it, so the marks are the record a crash leaves behind; unhiding brings back only
// windows with such a mark, so what the person put in the scratchpad stays there. A
// window counts as moved only when the tree reads it so. This application's own windows
// are listed and never put away. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kwin/WaylandIdle.h"
#include "linux/Scratchpad.h"
#include "stage/ActivationLog.h"
#include "surfaces/AppSurfacing.h"

namespace tervane::sway {

// The application a window of the tree belongs to: a browser by its fixed identifier.
std::string appOf(const x11::TreeWindow& window);

class SwayAppSurface final : public AppSurfacing {
 public:
  struct Options {
    // Listed, never put away: this application's own app id and process.
    std::set<std::string> neverStow;
    std::optional<std::int64_t> ownPid;
    // Without it the person always counts as present.
    std::shared_ptr<kwin::WaylandIdle> idle;
  };

  SwayAppSurface(std::shared_ptr<x11::Scratchpad> scratchpad,
                 std::shared_ptr<const ActivationLog> log, Options options);

  std::vector<AppFacts> runningApps() override;
  bool hide(const std::string& bundleId) override;
  bool unhide(const std::string& bundleId) override;
  bool activate(const std::string& bundleId) override;
  double humanIdleSeconds() override { return options_.idle ? options_.idle->idleSeconds() : 0.0; }
  std::vector<std::string> stillHidden() const override;

 private:
  // The windows of `bundleId` now, by container; none when the tree cannot be read.
  std::optional<std::map<std::int64_t, x11::TreeWindow>> windowsOf(const std::string& bundleId);
  struct Restore {
    bool present = false;
    bool all = false;  // every window of ours is back, or closed
  };
  Restore restore(const std::string& bundleId);
  bool isOwn(const x11::TreeWindow& window) const;

  std::shared_ptr<x11::Scratchpad> scratchpad_;
  std::shared_ptr<const ActivationLog> log_;
  Options options_;
};

}  // namespace tervane::sway
