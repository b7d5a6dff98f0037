// What one journal write of a large stage costs: 300 items (a few apps, then browser
// windows with their tabs) plus some guard answers, written with the file and folder
// synced as in use, and the same write without syncing, in the same run. Reading the
// journal back is measured too, and the bare cost of the two syncs on this disk.
// Wall-clock time: syncing waits on the disk, not the CPU.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "stage/StageJournal.h"

namespace {
using namespace tervane;
namespace fs = std::filesystem;

StageSnapshot largeSnapshot() {
  StageSnapshot s;
  s.takenAt = "2025-01-02T03:04:05Z";
  s.actionText = "Write the quarterly letter to the garden club";
  for (int i = 0; i < 20; ++i) {
    auto app = StageItem::app("org.example.App" + std::to_string(i), "App " + std::to_string(i));
    (i % 3 == 0 ? s.kept : s.stowed).push_back(app);
  }
  // 20 windows of 13 tabs: 20 + 20 × 14 = 300 items.
  for (int w = 0; w < 20; ++w) {
    WindowFacts window{BrowserKind::chrome, 4700 + w, {}, w == 0, false};
    for (int t = 0; t < 13; ++t) {
      const auto n = std::to_string(w * 13 + t);
      window.tabs.push_back({"Reading list entry " + n + " - Example News",
                             "https://news.example.com/articles/" + n + "?ref=list", t == 0});
    }
    for (auto& item : StageItem::forWindow(window)) {
      (w == 0 ? s.kept : s.stowed).push_back(std::move(item));
    }
  }
  s.guardEvents = std::vector<GuardEvent>{};
  for (int i = 0; i < 5; ++i) {
    s.guardEvents->push_back({"org.example.App" + std::to_string(i), "App", i % 2 == 0,
                              "2025-01-02T03:1" + std::to_string(i) + ":00Z"});
  }
  return s;
}

// A fresh folder on the same disk as the person's state folder, removed afterwards.
struct Folder {
  fs::path path;
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "tervane-bench-journal-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

void JournalWrite(benchmark::State& state, bool sync) {
  Folder folder;
  AtomicWriteOptions options;
  options.sync = sync;
  StageJournal journal(folder.path, options);
  const auto snapshot = largeSnapshot();
  if (snapshot.stowed.size() + snapshot.kept.size() != 300) {
    state.SkipWithError("the snapshot does not hold 300 items");
    return;
  }
  for (auto _ : state) {
    if (!journal.write(snapshot).ok()) {
      state.SkipWithError("write failed");
      break;
    }
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(journal.fileURL()));
}
BENCHMARK_CAPTURE(JournalWrite, fsync, true)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(JournalWrite, no_fsync, false)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The CPU part of a write: building the JSON and printing it.
void JournalEncode(benchmark::State& state) {
  const auto snapshot = largeSnapshot();
  for (auto _ : state) {
    auto bytes = toJson(snapshot).dump(2);
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(JournalEncode)->UseRealTime()->Unit(benchmark::kMicrosecond);

void JournalOpen(benchmark::State& state) {
  Folder folder;
  StageJournal journal(folder.path);
  if (!journal.write(largeSnapshot()).ok()) {
    state.SkipWithError("write failed");
    return;
  }
  for (auto _ : state) {
    auto snapshot = journal.open();
    benchmark::DoNotOptimize(snapshot);
  }
}
BENCHMARK(JournalOpen)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The disk's floor: what the two syncs of a write cost with almost nothing to write (one
// byte written and synced, then its folder synced).
void SyncFloor(benchmark::State& state) {
  Folder folder;
  const auto file = folder.path / "floor";
  for (auto _ : state) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int dir = ::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok =
        fd >= 0 && dir >= 0 && ::write(fd, "x", 1) == 1 && ::fsync(fd) == 0 && ::fsync(dir) == 0;
    if (fd >= 0) ::close(fd);
    if (dir >= 0) ::close(dir);
    if (!ok) {
      state.SkipWithError("sync failed");
      break;
    }
  }
}
BENCHMARK(SyncFloor)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
