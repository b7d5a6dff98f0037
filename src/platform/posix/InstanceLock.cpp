#include "posix/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>

namespace tervane::posix {

Result<InstanceLock> InstanceLock::acquire(const std::filesystem::path& file) {
  UniqueFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) {
    const int err = errno;
    return Error{"cannot open " + file.string() + ": " + std::strerror(err), err};
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    if (err == EWOULDBLOCK) return Error{"Tervane Now is already running.", EWOULDBLOCK};
    return Error{"cannot lock " + file.string() + ": " + std::strerror(err), err};
  }
  return InstanceLock(std::move(fd), file);
}

}  // namespace tervane::posix
