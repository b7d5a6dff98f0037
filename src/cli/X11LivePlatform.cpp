// The live desktop on X11: the display named by DISPLAY, with the hidden-window record in
// the journal's folder.
#include "base/StateFolder.h"
#include "cli/LivePlatform.h"
#include "linux/X11Platform.h"

namespace tervane::cli {

Result<std::shared_ptr<PlatformFactory>> livePlatform() {
  auto connection = x11::XConnection::open();
  if (!connection) {
    return Error{"no live desktop (" + connection.error().message + "); pass --desktop FILE.json",
                 0};
  }
  auto folder = defaultStageJournalFolder();
  if (!folder) return folder.error();
  x11::X11Platform::Options options;
  options.stateFolder = folder.value();
  return std::shared_ptr<PlatformFactory>(
      std::make_shared<x11::X11Platform>(connection.value(), std::move(options)));
}

}  // namespace tervane::cli
