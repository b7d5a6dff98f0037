#include "companion/BrowserOrigin.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tervane::companion {
namespace {

struct Kind {
  const char* kind;
  const char* program;  // the executable's file name
  const char* dataDir;  // under the config home; Firefox's under the home folder
  const char* scriptName;
  bool gecko;
};

// Chromium ships as "chromium" (Debian) or "chromium-browser"; Google Chrome's program is
// "chrome" under /opt/google, Brave's "brave", Edge's "msedge". Firefox runs as
// "firefox", Debian's ESR as "firefox-esr", some builds as "firefox-bin".
constexpr std::array<Kind, 8> kKinds{{
    {"chromium", "chromium", "chromium", "Google Chrome", false},
    {"chromium", "chromium-browser", "chromium", "Google Chrome", false},
    {"chrome", "chrome", "google-chrome", "Google Chrome", false},
    {"brave", "brave", "BraveSoftware/Brave-Browser", "Brave Browser", false},
    {"edge", "msedge", "microsoft-edge", "Microsoft Edge", false},
    {"firefox", "firefox", ".mozilla/firefox", "Firefox", true},
    {"firefox", "firefox-esr", ".mozilla/firefox", "Firefox", true},
    {"firefox", "firefox-bin", ".mozilla/firefox", "Firefox", true},
}};

// Chromium takes `--user-data-dir=FOLDER`; Firefox `-profile FOLDER`, with one or two
// dashes, and also `--profile=FOLDER`.
std::string profileArgument(const std::vector<std::string>& arguments, bool gecko) {
  std::string profile;
  const std::string_view flag = gecko ? "--profile=" : "--user-data-dir=";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    if (argument.rfind(flag, 0) == 0 && argument.size() > flag.size()) {
      profile = argument.substr(flag.size());
    } else if (gecko && (argument == "-profile" || argument == "--profile") &&
               i + 1 < arguments.size() && !arguments[i + 1].empty()) {
      profile = arguments[++i];
    }
  }
  return profile;
}

}  // namespace

BrowserOrigin browserOrigin(const std::filesystem::path& program,
                            const std::vector<std::string>& arguments,
                            const std::filesystem::path& configHome,
                            const std::filesystem::path& home) {
  const std::string name = program.filename().string();
  for (const auto& kind : kKinds) {
    if (name != kind.program) continue;
    auto profile = profileArgument(arguments, kind.gecko);
    if (profile.empty()) profile = ((kind.gecko ? home : configHome) / kind.dataDir).string();
    return {kind.kind, std::move(profile)};
  }
  return {};
}

std::vector<std::string> commandLineArguments(std::string_view cmdline) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < cmdline.size()) {
    auto end = cmdline.find('\0', start);
    if (end == std::string_view::npos) end = cmdline.size();
    parts.emplace_back(cmdline.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() == 1) {
    const std::string joined = std::move(parts[0]);
    parts.clear();
    std::size_t from = 0;
    for (auto at = joined.find(" --"); at != std::string::npos; at = joined.find(" --", from)) {
      parts.push_back(joined.substr(from, at - from));
      from = at + 1;
    }
    parts.push_back(joined.substr(from));
  }
  if (!parts.empty()) parts.erase(parts.begin());
  return parts;
}

std::vector<std::string> companionKinds(std::string_view scriptName) {
  std::vector<std::string> kinds;
  for (const auto& k : kKinds) {
    if (k.scriptName == scriptName &&
        std::find(kinds.begin(), kinds.end(), k.kind) == kinds.end()) {
      kinds.emplace_back(k.kind);
    }
  }
  return kinds;
}

}  // namespace tervane::companion
