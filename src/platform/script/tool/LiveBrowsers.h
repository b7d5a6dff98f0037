// The browsers running on the desktop this program runs on, for the diagnostic tool. The
// desktop backend that is built in provides it; without one there are none, and the
// error says so.
#pragma once

#include <memory>

#include "base/Result.h"
#include "script/BrowserRegistry.h"

namespace tervane {

Result<std::shared_ptr<BrowserLookup>> liveBrowsers();

}  // namespace tervane
