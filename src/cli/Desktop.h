// `tervane-now desktop install`: puts the GNOME Shell extension that this desktop needs in
// the person's extension folder (the build for the GNOME Shell installed here: scripts for
// 43 and 44, modules from 45) and turns it on in GNOME's settings. GNOME loads a new
// extension at the next login; until then Tervane Now cannot move windows on GNOME on
// Wayland, and says so when it starts.
//
// Exit status: 0 installed; 1 GNOME Shell is not installed, the extension is not beside
// this program, or it could not be copied or turned on.
#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "base/StateFolder.h"

namespace tervane::cli {

class DesktopCommandLine {
 public:
  explicit DesktopCommandLine(CLI::App& app);
  bool install() const { return install_->parsed(); }

 private:
  CLI::App* command_;
  CLI::App* install_;
};

struct DesktopContext {
  EnvironmentLookup lookup = processEnvironment;
  std::filesystem::path program;  // the running tervane-now, to find what is installed beside it
  // Runs a program and gives its exit status and standard output (none when it could not run).
  std::function<std::optional<std::pair<int, std::string>>(const std::vector<std::string>& argv)>
      run;
};

// "43.9" → 43; none when `versionLine` names no GNOME Shell.
std::optional<int> gnomeShellMajor(const std::string& versionLine);
// `enabled` as gsettings prints a list of strings, with `uuid` added once.
std::optional<std::string> withExtension(const std::string& enabled, const std::string& uuid);

int runDesktopInstall(const DesktopContext& context, std::ostream& out, std::ostream& err);
// Runs `argv` (searched on PATH), its standard output captured.
std::optional<std::pair<int, std::string>> runProgram(const std::vector<std::string>& argv);

}  // namespace tervane::cli
