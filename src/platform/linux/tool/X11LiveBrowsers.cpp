// The diagnostic tool's live browsers on X11: the Chromium family's windows on the
// display named by DISPLAY.
#include "linux/X11AutomationPermission.h"
#include "linux/X11ScriptableBrowser.h"
#include "linux/XConnection.h"
#include "script/tool/LiveBrowsers.h"

namespace tervane {

Result<std::shared_ptr<BrowserLookup>> liveBrowsers() {
  auto connection = x11::XConnection::open();
  if (!connection) {
    return Error{"no live desktop (" + connection.error().message +
                     "); give a simulated browser with --state FILE",
                 0};
  }
  auto presence = std::make_shared<x11::X11AutomationPermission>(connection.value());
  return std::shared_ptr<BrowserLookup>(
      std::make_shared<x11::X11BrowserLookup>(connection.value(), std::move(presence)));
}

}  // namespace tervane
