// The platform's side of browser permission: which applications run, and whether this
// application may control one of them. The Mac answers from the workspace and the
// automation-consent query; Linux answers from the X11 clients and allows every running
// browser; tests answer what they are told.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tervane {

class AutomationPermission {
 public:
  virtual ~AutomationPermission() = default;

  // The identifiers of every running application, of any activation policy (also those
  // without a Dock icon or taskbar entry); applications without one are left out.
  virtual std::vector<std::string> runningApplicationIds() = 0;

  // The automation status of the application with `bundleId` for any event: 0 allowed,
  // -1743 not permitted, -1744 would need the person's consent, -600 not running, or
  // another platform number. With `askUserIfNeeded` the platform may ask the person and
  // the call returns once they have answered. None when no query could be made. May be
  // called on any thread.
  virtual std::optional<int> automationStatus(const std::string& bundleId,
                                              bool askUserIfNeeded) = 0;
};

}  // namespace tervane
