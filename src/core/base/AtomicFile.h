// Whole-file replacement that a reader can never catch half done: the bytes go to a
// temporary file in the same folder, which is synced and renamed over the target, and
// the folder is synced after. On any failure the old file stays and the temporary file
// is removed; once the rename has put the new file in place the write succeeds, and a
// folder that cannot be synced after it is logged, not reported.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "base/Result.h"

namespace tervane {

enum class AtomicWriteStep { createFolder, openTemporary, write, syncFile, rename, syncFolder };

struct AtomicWriteOptions {
  bool sync = true;  // fsync the file and its folder; off only for measuring what it costs
  std::filesystem::perms fileMode = std::filesystem::perms::owner_read |
                                    std::filesystem::perms::owner_write;
  std::filesystem::perms folderMode = std::filesystem::perms::owner_all;
  // Test hook: return an errno to make the given step fail as if the system had refused.
  std::function<std::optional<int>(AtomicWriteStep)> inject;
};

Status writeFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                           const AtomicWriteOptions& options = {});

// Removes what writes of `file` that never finished left beside it (a process killed
// between creating its temporary file and renaming it); gives how many went. Only for an
// owner that knows no other process is writing `file` now.
int removeAbandonedTemporaries(const std::filesystem::path& file);

// Creates `folder` and its missing parents; folders it creates get `mode`.
Status createFolders(const std::filesystem::path& folder, std::filesystem::perms mode);

// Reads a whole file, or gives the error.
Result<std::string> readFile(const std::filesystem::path& file);

}  // namespace tervane
