#include "stage/StageJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "base/Json.h"

namespace tervane {
namespace fs = std::filesystem;

namespace {

// Makes a removal durable: without it a power loss could bring back a journal of a
// stage that had already ended, and the next launch would guard it again.
int syncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int result = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return result;
}

}  // namespace

StageJournal::StageJournal(fs::path directory, AtomicWriteOptions options)
    : directory_(std::move(directory)), options_(std::move(options)) {}

Status StageJournal::write(const StageSnapshot& snapshot) {
  // nlohmann's objects keep their keys sorted, so every object comes out in ascending
  // key order.
  std::string bytes = jsonread::dumpText(toJson(snapshot), 2);
  bytes += '\n';
  return writeFileAtomically(fileURL(), bytes, options_);
}

std::optional<StageSnapshot> StageJournal::open() const {
  std::error_code ec;
  const auto size = fs::file_size(fileURL(), ec);
  if (ec || size > kLargestJournalBytes) return std::nullopt;
  auto text = readFile(fileURL());
  if (!text) return std::nullopt;
  auto parsed = jsonread::parse(text.value());
  if (!parsed) return std::nullopt;
  return decodeStageSnapshot(*parsed);
}

Status StageJournal::close() {
  const auto file = fileURL();
  // unlink, not a general remove: something other than a file in the journal's place
  // (a folder) is an error, not something to delete.
  if (::unlink(file.c_str()) != 0) {
    const int e = errno;
    if (e == ENOENT) return success();  // there was no journal
    return Error{"cannot remove " + file.string() + ": " + std::strerror(e), e};
  }
  if (options_.sync) {
    int e = 0;
    if (options_.inject) e = options_.inject(AtomicWriteStep::syncFolder).value_or(0);
    if (e == 0) e = syncFolder(directory_);
    if (e != 0) {
      return Error{"cannot sync folder " + directory_.string() + ": " + std::strerror(e), e};
    }
  }
  return success();
}

}  // namespace tervane
