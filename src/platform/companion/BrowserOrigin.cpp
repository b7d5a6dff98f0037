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

std::string_view scriptNameForKind(std::string_view kind) {
  for (const auto& k : kKinds) {
    if (kind == k.kind) return k.scriptName;
  }
  return {};
}

}  // namespace tervane::companion
