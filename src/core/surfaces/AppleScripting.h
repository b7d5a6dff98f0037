// Sends one script text to one browser and gives its reply, or the AppleScriptError the
// call ended with. The browser surface and the session model's batch moves use it.
#pragma once

#include <string>

#include "stage/BrowserKind.h"
#include "surfaces/AppleScriptError.h"
#include "surfaces/ReplyDescriptor.h"

namespace tervane {

class AppleScripting {
 public:
  virtual ~AppleScripting() = default;
  // Blocks the calling thread until the browser answers or the call's time limit ends.
  virtual AppleScriptResult<ReplyDescriptor> run(const std::string& script, BrowserKind kind) = 0;
};

}  // namespace tervane
