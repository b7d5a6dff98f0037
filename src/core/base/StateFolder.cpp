#include "base/StateFolder.h"

#include <cerrno>
#include <cstdlib>

namespace tervane {
namespace fs = std::filesystem;

namespace {
std::optional<fs::path> absolute(const EnvironmentLookup& lookup, const std::string& name) {
  auto value = lookup(name);
  if (!value || value->empty()) return std::nullopt;
  fs::path path(*value);
  if (!path.is_absolute()) return std::nullopt;
  return path;
}
}  // namespace

std::optional<std::string> processEnvironment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

Result<fs::path> defaultStageJournalFolder(const EnvironmentLookup& lookup) {
  if (auto state = absolute(lookup, "XDG_STATE_HOME")) return *state / "tervane-now";
  if (auto home = absolute(lookup, "HOME")) return *home / ".local" / "state" / "tervane-now";
  return Error{"no state folder: neither XDG_STATE_HOME nor HOME is an absolute path", ENOENT};
}

}  // namespace tervane
