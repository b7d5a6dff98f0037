// `tervane-now preview`: runs the same staging path as Start — the real session model,
// planner, browser pass and picker — against surfaces that record instead of move and a
// throwaway journal, waits for the browser half, and says what would stay, what would go
// and why. It never hides, minimizes, asks for consent or touches the real journal. On the
// live desktop the browsers are read through the running application where it answers.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "control/ControlProtocol.h"
#include "session/PlatformFactory.h"

namespace tervane::cli {

struct PreviewOptions {
  std::string line;
  bool json = false;
  std::optional<std::filesystem::path> desktopFile;
  // Asks the running application, if any, for what it reads (on the live desktop only):
  // its browsers' companions show real tabs that this process cannot reach.
  std::function<std::optional<ControlReply>(const ControlRequest&)> askApplication;
};

// Builds the live desktop's platform, or says why there is none.
using LivePlatform = std::function<Result<std::shared_ptr<PlatformFactory>>()>;

// Exit status: 0 for a preview printed, 2 for a bad argument or an unreadable desktop.
int runPreview(const PreviewOptions& options, const LivePlatform& live, std::ostream& out,
               std::ostream& err);

}  // namespace tervane::cli
