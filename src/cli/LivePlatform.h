// The desktop this program runs on, as the session model's platform, for the commands
// that look at it; the error says why there is none (no desktop backend, no display).
#pragma once

#include <memory>

#include "base/Result.h"
#include "session/PlatformFactory.h"

namespace tervane::cli {

Result<std::shared_ptr<PlatformFactory>> livePlatform();

}  // namespace tervane::cli
