// The tray application as a child of a test, on a test desktop, with a home of its own
// (settings, journal and control socket in a temporary folder), the walk-through already
// seen and the word on reaching the card without a tray already said. Sub-commands run as separate
// `tervane-now` processes, as a person's scripts would run them; readiness is the control socket
// answering, never a pause.
#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::testing {

class AppUnderTest {
 public:
  // On the X server and session bus of `desktop`.
  explicit AppUnderTest(XTestDesktop& desktop, std::string program = TERVANE_NOW_TOOL);
  // On the desktop that `desktopEnvironment` (variables such as WAYLAND_DISPLAY) names.
  AppUnderTest(std::vector<std::string> desktopEnvironment, std::string program);
  ~AppUnderTest();

  // Starts the application and returns once its control socket answers; fails the test
  // (with the application's output) when it does not within a minute.
  void launch();
  // Starts it and returns at once.
  void start();
  // Asks it to quit (SIGTERM) and gives its exit status once it has gone.
  int terminate();
  // SIGKILL, as a crash would.
  void kill();
  pid_t pid() const { return process_ ? process_->pid() : -1; }

  struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
  };
  Outcome command(const std::vector<std::string>& arguments, double seconds = 60);
  // Starts `tervane-now <arguments>` and returns without waiting for it.
  std::unique_ptr<ChildProcess> commandInBackground(const std::vector<std::string>& arguments);
  // `status --json`, parsed; a discarded value when it fails.
  nlohmann::json statusJson();
  // The ids of what the open stage put away, from `status --json`.
  std::set<std::string> stowedIds();

  std::filesystem::path journalFile() const;
  std::filesystem::path stateFolder() const { return home_ / "state" / "tervane-now"; }
  std::filesystem::path configFolder() const { return home_ / "config" / "tervane-now"; }
  std::filesystem::path runtimeFolder() const { return home_ / "run"; }
  // Its standard output and error.
  std::string output() const;

 private:
  std::vector<std::string> environment() const;

  std::vector<std::string> desktopEnvironment_;
  std::string program_;
  TempDir home_;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace tervane::testing
