// Which windows the app surface iconified, per application, kept in a small file beside
// the stage journal. It is written before any window moves, so that after a crash the
// recovered stage's bring-back restores exactly the windows that were put away, and
// never one the person had minimized themselves.
//
// File: one JSON object, application identifier to an array of X window ids, written
// atomically with mode 0600 in a 0700 folder. A missing or unreadable file is an empty
// record; the next write replaces it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Result.h"

namespace tervane::x11 {

class HiddenWindowRecord {
 public:
  static constexpr const char* kFileName = "hidden-windows.json";
  using Windows = std::set<std::uint32_t>;

  // Reads the file now.
  explicit HiddenWindowRecord(std::filesystem::path file, AtomicWriteOptions options = {});

  const std::filesystem::path& file() const { return file_; }
  const std::map<std::string, Windows>& all() const { return apps_; }
  Windows windowsOf(const std::string& app) const;

  // Adds the windows to the application's entry and writes the file. On a failed write
  // nothing changes, in memory or on disk.
  [[nodiscard]] Status add(const std::string& app, const std::vector<std::uint32_t>& windows);
  // Removes the windows from the application's entry (the whole entry when none is left)
  // and writes the file. They are removed in memory even when the write fails: the
  // windows have been dealt with (brought back, never minimized, or gone).
  [[nodiscard]] Status remove(const std::string& app, const Windows& windows);
  // Removes the application's whole entry, as `remove` does.
  [[nodiscard]] Status forget(const std::string& app);

 private:
  Status write(const std::map<std::string, Windows>& apps) const;

  std::filesystem::path file_;
  AtomicWriteOptions options_;
  std::map<std::string, Windows> apps_;
};

}  // namespace tervane::x11
