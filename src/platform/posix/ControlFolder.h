// Where the control socket and the instance lock live: "$XDG_RUNTIME_DIR/tervane-now",
// or, when that variable is unset, relative or unusable, "/tmp/tervane-now-<uid>". The
// folder is the person's alone (mode 0700, owned by them); a folder of that name owned by
// someone else is refused rather than used, because a socket in it could be anyone's.
#pragma once

#include <filesystem>
#include <vector>

#include "base/Result.h"
#include "base/StateFolder.h"

namespace tervane::posix {

struct ControlPaths {
  std::filesystem::path folder;
  std::filesystem::path socket;  // folder / "control"
  std::filesystem::path lock;    // folder / "lock"

  static ControlPaths in(const std::filesystem::path& folder);
};

// The folders to try, best first. `tmpBase` is "/tmp" outside tests.
std::vector<std::filesystem::path> controlFolderCandidates(
    const EnvironmentLookup& lookup = processEnvironment,
    const std::filesystem::path& tmpBase = "/tmp");

// Creates (or checks and tightens) the first usable candidate.
[[nodiscard]] Result<ControlPaths> prepareControlFolder(
    const EnvironmentLookup& lookup = processEnvironment,
    const std::filesystem::path& tmpBase = "/tmp");

// Makes `folder` a 0700 folder of ours: creates it when missing, refuses a symbolic link,
// a non-folder or a folder owned by another user, and removes group and other access.
[[nodiscard]] Status securePrivateFolder(const std::filesystem::path& folder);

}  // namespace tervane::posix
