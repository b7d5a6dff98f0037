// `tervane-now capture|start|pause|show|done|undo|answer|status|open|keep|stow`: each sends one
// request to the running application over its control socket and prints the answer in
// one line (status: a few lines, or JSON with --json).
//
// Exit status: 0 done; 1 refused, or the application could not do it or did not answer;
// 2 usage (a bad argument); 3 nothing running.
#pragma once

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "control/ControlProtocol.h"
#include "posix/ControlClient.h"

namespace tervane::cli {

struct ControlOptions {
  ControlRequest request;
  bool json = false;  // status only
  double timeoutSeconds = posix::ControlClient::kDefaultTimeoutSeconds;
  // How long to wait for the application to start when it is not running yet.
  double waitSeconds = 0;
};

// Adds the control sub-commands to `app`; after parsing, `parsed()` gives the request of
// the one that was given, or none when another sub-command (or none) was.
class ControlCommandLine {
 public:
  explicit ControlCommandLine(CLI::App& app);
  std::optional<ControlOptions> parsed() const;

 private:
  struct Entry {
    ControlCommand command;
    CLI::App* sub;
  };
  std::vector<Entry> entries_;
  std::vector<std::string> words_;
  std::string answer_;
  std::string until_;
  std::string item_;
  bool json_ = false;
  double waitSeconds_ = 0;
};

int runControl(const ControlOptions& options, const posix::ControlClient& client, std::ostream& out,
               std::ostream& err);

// The status report as a few lines of text, each ending in a newline.
std::string statusText(const nlohmann::json& status);

}  // namespace tervane::cli
