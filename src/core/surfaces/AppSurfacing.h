// Reading, hiding and showing other applications. The session model holds the desktop's
// applications only through this interface; each platform (the X11 desktop, the simulated
// desktop) implements it. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "stage/StageRecords.h"

namespace tervane {

class AppSurfacing {
 public:
  virtual ~AppSurfacing() = default;

  // The running regular applications, in the workspace's order.
  virtual std::vector<AppFacts> runningApps() = 0;
  // Each acts on the first running application with the identifier; an identifier with
  // no running application changes nothing and answers false. Either answers true only
  // once the desktop did what was asked: `hide` when the application is out of sight,
  // `unhide` when all of it is back.
  virtual bool hide(const std::string& bundleId) = 0;
  virtual bool unhide(const std::string& bundleId) = 0;
  // Unhides, then brings the application to the front.
  virtual bool activate(const std::string& bundleId) = 0;
  // Seconds since the person's last key press or mouse movement.
  virtual double humanIdleSeconds() = 0;
  // Applications this surface put away and has not seen back: while no stage is open,
  // what an earlier restore could not bring back. Desktops whose every restore is certain
  // keep none.
  virtual std::vector<std::string> stillHidden() const { return {}; }
};

}  // namespace tervane
