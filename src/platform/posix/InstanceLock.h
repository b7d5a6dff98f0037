// One running application per person: an exclusive `flock` on a file in the control
// folder, held for as long as this object lives. The kernel drops the lock when the
// process dies, however it dies, so a crashed run never blocks the next one; the lock file
// itself is left in place (removing it would let two processes lock two different files).
#pragma once

#include <filesystem>

#include "base/Result.h"
#include "posix/UniqueFd.h"

namespace tervane::posix {

class InstanceLock {
 public:
  // Takes the lock without waiting. When another instance holds it the error's code is
  // EWOULDBLOCK.
  [[nodiscard]] static Result<InstanceLock> acquire(const std::filesystem::path& file);

  InstanceLock(InstanceLock&&) noexcept = default;
  InstanceLock& operator=(InstanceLock&&) noexcept = default;

  const std::filesystem::path& file() const { return file_; }

 private:
  InstanceLock(UniqueFd fd, std::filesystem::path file)
      : fd_(std::move(fd)), file_(std::move(file)) {}

  UniqueFd fd_;
  std::filesystem::path file_;
};

}  // namespace tervane::posix
