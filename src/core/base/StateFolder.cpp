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

namespace {
Result<fs::path> xdgFolder(const EnvironmentLookup& lookup, const char* variable,
                           const fs::path& underHome, const fs::path& own = "tervane-now") {
  if (auto base = absolute(lookup, variable)) return *base / own;
  if (auto home = absolute(lookup, "HOME")) return *home / underHome / own;
  return Error{std::string("no folder: neither ") + variable + " nor HOME is an absolute path",
               ENOENT};
}
}  // namespace

Result<fs::path> defaultStageJournalFolder(const EnvironmentLookup& lookup) {
  return xdgFolder(lookup, "XDG_STATE_HOME", fs::path(".local") / "state");
}

Result<fs::path> defaultConfigFolder(const EnvironmentLookup& lookup) {
  return xdgFolder(lookup, "XDG_CONFIG_HOME", ".config");
}

Result<fs::path> xdgDataHome(const EnvironmentLookup& lookup) {
  auto folder = xdgFolder(lookup, "XDG_DATA_HOME", fs::path(".local") / "share", ".");
  if (!folder) return folder.error();
  return folder.value().lexically_normal().parent_path();
}

}  // namespace tervane
