#include "posix/ControlFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace tervane::posix {

ControlPaths ControlPaths::in(const std::filesystem::path& folder) {
  return ControlPaths{folder, folder / "control", folder / "lock"};
}

std::vector<std::filesystem::path> controlFolderCandidates(const EnvironmentLookup& lookup,
                                                           const std::filesystem::path& tmpBase) {
  std::vector<std::filesystem::path> out;
  if (auto runtime = lookup("XDG_RUNTIME_DIR"); runtime && !runtime->empty()) {
    const std::filesystem::path base(*runtime);
    if (base.is_absolute()) out.push_back(base / "tervane-now");
  }
  out.push_back(tmpBase / ("tervane-now-" + std::to_string(::geteuid())));
  return out;
}

Status securePrivateFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    const int err = errno;
    return Error{"cannot create " + folder.string() + ": " + std::strerror(err), err};
  }
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) {
    const int err = errno;
    return Error{"cannot read " + folder.string() + ": " + std::strerror(err), err};
  }
  if (!S_ISDIR(st.st_mode)) return Error{folder.string() + " is not a folder", ENOTDIR};
  if (st.st_uid != ::geteuid()) {
    return Error{folder.string() + " belongs to another user", EPERM};
  }
  if ((st.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
    const int err = errno;
    return Error{"cannot make " + folder.string() + " private: " + std::strerror(err), err};
  }
  return success();
}

Result<ControlPaths> prepareControlFolder(const EnvironmentLookup& lookup,
                                          const std::filesystem::path& tmpBase) {
  Error last{"no folder for the control socket", ENOENT};
  for (const auto& folder : controlFolderCandidates(lookup, tmpBase)) {
    auto secured = securePrivateFolder(folder);
    if (secured) return ControlPaths::in(folder);
    last = secured.error();
  }
  return last;
}

}  // namespace tervane::posix
