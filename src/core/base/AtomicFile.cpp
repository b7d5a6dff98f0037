#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "base/Log.h"

namespace tervane {
namespace fs = std::filesystem;

namespace {

Error errnoError(const std::string& what, const fs::path& path, int code) {
  return Error{what + " " + path.string() + ": " + std::strerror(code), code};
}

// Runs a step unless the test hook says it fails; gives the errno of a failure, or 0.
template <class Fn>
int step(const AtomicWriteOptions& options, AtomicWriteStep which, Fn&& fn) {
  if (options.inject) {
    if (auto injected = options.inject(which)) return *injected;
  }
  return fn() ? 0 : errno;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool syncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

}  // namespace

Status createFolders(const fs::path& folder, fs::perms mode) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return success();
  if (folder.has_parent_path() && folder.parent_path() != folder) {
    if (auto parent = createFolders(folder.parent_path(), mode); !parent) return parent;
  }
  if (::mkdir(folder.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
    return errnoError("cannot create folder", folder, errno);
  }
  if (!fs::is_directory(folder, ec)) return errnoError("not a folder:", folder, ENOTDIR);
  return success();
}

Status writeFileAtomically(const fs::path& file, std::string_view bytes,
                           const AtomicWriteOptions& options) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  if (int e = step(options, AtomicWriteStep::createFolder,
                   [&] {
                     auto made = createFolders(folder, options.folderMode);
                     if (!made) errno = made.error().code ? made.error().code : EIO;
                     return made.ok();
                   })) {
    return errnoError("cannot create folder", folder, e);
  }

  std::string pattern = folder / file.filename();
  pattern.insert(pattern.size() - file.filename().native().size(), 1, '.');
  pattern.append(".XXXXXX");
  int fd = -1;
  if (int e = step(options, AtomicWriteStep::openTemporary, [&] {
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        return fd >= 0;
      })) {
    if (fd >= 0) {
      ::close(fd);
      ::unlink(pattern.c_str());
    }
    return errnoError("cannot create a temporary file in", folder, e);
  }
  const fs::path temporary = pattern;
  auto fail = [&](const std::string& what, int e) -> Status {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    return errnoError(what, file, e);
  };

  if (::fchmod(fd, static_cast<mode_t>(options.fileMode)) != 0) return fail("cannot set mode of", errno);
  if (int e = step(options, AtomicWriteStep::write, [&] { return writeAll(fd, bytes); })) {
    return fail("cannot write", e);
  }
  if (options.sync) {
    if (int e = step(options, AtomicWriteStep::syncFile, [&] { return ::fsync(fd) == 0; })) {
      return fail("cannot sync", e);
    }
  }
  if (::close(fd) != 0) {
    fd = -1;
    return fail("cannot close", errno);
  }
  fd = -1;
  if (int e = step(options, AtomicWriteStep::rename,
                   [&] { return ::rename(temporary.c_str(), file.c_str()) == 0; })) {
    return fail("cannot replace", e);
  }
  if (options.sync) {
    // The rename has put the new file in place, so the write is done: a caller told
    // otherwise would act as if the old content were still there. A folder that cannot
    // be synced only means the rename may not yet survive a power loss; that is logged.
    if (int e = step(options, AtomicWriteStep::syncFolder, [&] { return syncFolder(folder); })) {
      Log("files").error(errnoError("cannot sync folder", folder, e).message + "; the new " +
                         file.filename().string() + " is in place");
    }
  }
  return success();
}

Result<std::string> readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return errnoError("cannot read", file, errno ? errno : ENOENT);
  std::error_code ec;
  if (fs::is_directory(file, ec)) return errnoError("cannot read", file, EISDIR);
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return errnoError("cannot read", file, EIO);
  return content.str();
}

int removeAbandonedTemporaries(const fs::path& file) {
  // Temporaries are named ".<name>.XXXXXX" (see writeFileAtomically).
  const std::string prefix = "." + file.filename().string() + ".";
  constexpr std::size_t kUniqueLength = 6;
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  std::error_code ec;
  int removed = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + kUniqueLength || name.compare(0, prefix.size(), prefix) != 0 ||
        !it->is_regular_file(ec)) {
      continue;
    }
    if (fs::remove(it->path(), ec)) ++removed;
  }
  return removed;
}

}  // namespace tervane
