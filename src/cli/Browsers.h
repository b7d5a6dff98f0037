// `tervane-now browsers`: which Chromium-family browsers are on this machine, whether each
// has the host manifest its companion needs, and whether a companion is connected now
// (asked of the running application; when none runs, it says so). `tervane-now browsers
// install` writes the per-user host manifests for the browsers found and says how to add
// the extension.
//
// Exit status as the control commands: 0 done; 1 a manifest could not be written, no
// browser was found to install for, or the application did not answer.
#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iosfwd>

#include "base/StateFolder.h"
#include "posix/ControlClient.h"

namespace tervane::cli {

class BrowsersCommandLine {
 public:
  explicit BrowsersCommandLine(CLI::App& app);
  bool parsed() const { return command_->parsed(); }
  bool install() const { return install_->parsed(); }

 private:
  CLI::App* command_;
  CLI::App* install_;
};

struct BrowsersContext {
  EnvironmentLookup lookup = processEnvironment;
  std::filesystem::path program;  // the running tervane-now, to find what is installed beside it
};

int runBrowsers(bool install, const BrowsersContext& context, const posix::ControlClient& client,
                std::ostream& out, std::ostream& err);

}  // namespace tervane::cli
