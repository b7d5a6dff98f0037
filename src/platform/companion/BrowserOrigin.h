// Which browser started the companion's host, and with which profile. The browser starts
// the host itself, so its program and command line (read from the parent process, never
// from anything a page could write) name the browser kind and the user data folder (for
// Firefox, the profile folder).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tervane::companion {

struct BrowserOrigin {
  // "chromium", "chrome", "brave", "edge", "firefox", or "" when the program is none of
  // them.
  std::string kind;
  // The browser's user data folder: `--user-data-dir` (Firefox: `--profile`) when given,
  // else the kind's own.
  std::string profile;
};

// `program` is the parent's executable path, `arguments` its command line (without the
// program), `configHome` the person's XDG config folder, `home` their home folder
// (Firefox keeps its profiles there, not under the config folder).
BrowserOrigin browserOrigin(const std::filesystem::path& program,
                            const std::vector<std::string>& arguments,
                            const std::filesystem::path& configHome,
                            const std::filesystem::path& home);

// The arguments (without the program) of a /proc/<pid>/cmdline text. Chromium rewrites
// its own command line as one string joined by spaces; that form is split before each
// " --", so a folder with spaces in it still reads whole.
std::vector<std::string> commandLineArguments(std::string_view cmdline);

// The kinds whose companions answer for the browser a script addresses as `scriptName`
// (chromium and chrome for "Google Chrome"); empty for a browser without a companion.
std::vector<std::string> companionKinds(std::string_view scriptName);

}  // namespace tervane::companion
