// A fresh folder per test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tervane::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& p) const { return path_ / p; }

 private:
  std::filesystem::path path_;
};

// Every entry of a folder (names only), sorted; empty when the folder does not exist.
std::vector<std::string> listFolder(const std::filesystem::path& folder);
// Throws when the file cannot be written (its folder must exist).
void writeText(const std::filesystem::path& file, const std::string& text);
std::string readText(const std::filesystem::path& file);
// The permission bits of a file or folder, as 0600-style octal.
unsigned modeOf(const std::filesystem::path& path);

}  // namespace tervane::testing
