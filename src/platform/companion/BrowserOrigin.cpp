#include "companion/BrowserOrigin.h"

#include <array>
#include <utility>

namespace tervane::companion {
namespace {

struct Kind {
  const char* kind;
  const char* program;    // the executable's file name
  const char* configDir;  // under the config home
  const char* scriptName;
};

// Chromium ships as "chromium" (Debian) or "chromium-browser"; Google Chrome's program is
// "chrome" under /opt/google, Brave's "brave", Edge's "msedge".
constexpr std::array<Kind, 5> kKinds{{
    {"chromium", "chromium", "chromium", "Google Chrome"},
    {"chromium", "chromium-browser", "chromium", "Google Chrome"},
    {"chrome", "chrome", "google-chrome", "Google Chrome"},
    {"brave", "brave", "BraveSoftware/Brave-Browser", "Brave Browser"},
    {"edge", "msedge", "microsoft-edge", "Microsoft Edge"},
}};

}  // namespace

BrowserOrigin browserOrigin(const std::filesystem::path& program,
                            const std::vector<std::string>& arguments,
                            const std::filesystem::path& configHome) {
  const std::string name = program.filename().string();
  for (const auto& kind : kKinds) {
    if (name != kind.program) continue;
    BrowserOrigin origin{kind.kind, (configHome / kind.configDir).string()};
    constexpr std::string_view flag = "--user-data-dir=";
    for (const auto& argument : arguments) {
      if (argument.rfind(flag, 0) == 0 && argument.size() > flag.size()) {
        origin.profile = argument.substr(flag.size());
      }
    }
    return origin;
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

std::string_view scriptNameForKind(std::string_view kind) {
  for (const auto& k : kKinds) {
    if (kind == k.kind) return k.scriptName;
  }
  return {};
}

}  // namespace tervane::companion
