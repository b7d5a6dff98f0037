#include "LiveBrowsers.h"

namespace tervane {

Result<std::shared_ptr<BrowserLookup>> liveBrowsers() {
  return Error{
      "live browsers are not available on this platform; give a simulated browser "
      "with --state FILE",
      0};
}

}  // namespace tervane
