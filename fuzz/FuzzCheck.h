// Shared pieces of the fuzz targets: an invariant check that stops the run with a message
// (so a broken promise is reported like a crash, with the input saved), and one private
// scratch folder per process for the targets that read files.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tervane::fuzz {

[[noreturn]] inline void fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.c_str());
  std::abort();
}

inline void require(bool holds, const char* what, const std::string& detail = {}) {
  if (!holds) fail(what, detail);
}

// Made on first use under the system's temporary folder and removed at exit.
inline const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tervane-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) fail("cannot make a scratch folder");
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratchFolder(), ec);
    });
    return std::filesystem::path(pattern);
  }();
  return folder;
}

}  // namespace tervane::fuzz
