// Tells the session model each time another application becomes the active one, while a
// stage is open. Main thread only; the callback runs there too.
#pragma once

#include <functional>
#include <string>

namespace tervane {

class GuardObserving {
 public:
  virtual ~GuardObserving() = default;

  // Starts watching. While already watching, the first callback stays and this one is
  // dropped.
  virtual void start(std::function<void(const std::string& bundleId)> onActivation) = 0;
  // Stops watching; nothing happens when idle.
  virtual void stop() = 0;
  virtual bool isRunning() const = 0;
};

}  // namespace tervane
