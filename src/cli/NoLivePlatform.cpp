#include "cli/LivePlatform.h"

namespace tervane::cli {

Result<std::shared_ptr<PlatformFactory>> livePlatform() {
  return Error{"the live desktop is not available on this platform; pass --desktop FILE.json", 0};
}

}  // namespace tervane::cli
