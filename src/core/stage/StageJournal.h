// The open stage on disk. While a stage exists its snapshot is kept in one JSON file,
// "open-stage.json", so that a stage survives a crash and can be taken up again at the
// next launch; the file is removed when the stage ends.
//
// Every write replaces the whole file atomically (temporary file, sync, rename, folder
// sync): a reader sees the old snapshot or the new one, never a part. A failed write
// leaves the old file and no temporary file, and says why. Reading never changes the
// file: a journal that cannot be read or decoded is simply no stage, and stays on disk.
// Main thread only; every call blocks for its file operation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/AtomicFile.h"
#include "base/Result.h"
#include "stage/StageRecords.h"

namespace tervane {

class StageJournal {
 public:
  static constexpr const char* kFileName = "open-stage.json";
  // A real stage is well under a megabyte; anything far larger is not read into memory.
  static constexpr std::uintmax_t kLargestJournalBytes = 32u << 20;

  // `options` sets the file and folder modes (0600, 0700), whether to sync, and lets a
  // test inject a failure at any step of a write.
  explicit StageJournal(std::filesystem::path directory, AtomicWriteOptions options = {});

  StageJournal(const StageJournal&) = delete;
  StageJournal& operator=(const StageJournal&) = delete;

  const std::filesystem::path& directory() const { return directory_; }
  std::filesystem::path fileURL() const { return directory_ / kFileName; }

  // Creates the folder and its missing parents, then replaces the journal with the
  // snapshot (keys sorted, pretty-printed).
  [[nodiscard]] Status write(const StageSnapshot& snapshot);
  // The stored snapshot; none for a missing, unreadable, oversized or undecodable file.
  std::optional<StageSnapshot> open() const;
  // Removes the journal; no file is success.
  [[nodiscard]] Status close();

 private:
  std::filesystem::path directory_;
  AtomicWriteOptions options_;
};

}  // namespace tervane
