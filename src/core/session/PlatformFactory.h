// What the session model may build for itself comes from the platform through this
// factory, so the core never names a platform: the activation source behind the model's
// activation log, the app surface over that log, the browser surface and the shield.
#pragma once

#include <memory>

#include "guard/ShieldPresenting.h"
#include "stage/ActivationLog.h"
#include "stage/ActivationSource.h"
#include "surfaces/AppSurfacing.h"
#include "surfaces/BrowserSurfacing.h"

namespace tervane {

class PlatformFactory {
 public:
  virtual ~PlatformFactory() = default;
  virtual std::shared_ptr<ActivationSource> activationSource() = 0;
  virtual std::shared_ptr<AppSurfacing> appSurface(std::shared_ptr<ActivationLog> log) = 0;
  virtual std::shared_ptr<BrowserSurfacing> browserSurface() = 0;
  virtual std::shared_ptr<ShieldPresenting> shield() = 0;
};

}  // namespace tervane
