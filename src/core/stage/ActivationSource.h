// What the desktop says about the application in front. A platform implements it from its
// own activation events (an X11 window manager's active-window changes, the workspace
// activation notification elsewhere); tests use a fake that fires activations by hand.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/Signal.h"

namespace tervane {

class ActivationSource {
 public:
  using Handler = std::function<void(const std::string& bundleId)>;
  using Subscription = Signal<std::string>::Connection;

  virtual ~ActivationSource() = default;

  // The identifier of the application in front now; none when nothing is in front or it
  // has no identifier.
  virtual std::optional<std::string> frontmostApplication() const = 0;

  // Calls `handler` on the main thread with the identifier of every application that
  // becomes active, for as long as the returned subscription lives. Activations without
  // a usable identifier are not passed on.
  [[nodiscard]] virtual Subscription onActivation(Handler handler) = 0;
};

}  // namespace tervane
