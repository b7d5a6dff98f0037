// Writes the seed inputs that come from the code itself, so they never drift from it:
// the browser scripts exactly as the adapters build them, a journal and a settings file
// as the journal and the settings store write them, and a stored task.
//
//   fuzz_make_seeds <output folder>   (one sub-folder per fuzz target)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/Defaults.h"
#include "base/Json.h"
#include "data/AttentionTask.h"
#include "data/Store.h"
#include "learning/StageMemory.h"
#include "stage/StageJournal.h"
#include "surfaces/BrowserAdapters.h"

using namespace tervane;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

StageSnapshot fullSnapshot(const Clock& clock) {
  StageSnapshot s;
  s.takenAt = "2025-01-02T03:04:05Z";
  s.actionText = "Write the quarterly report";
  s.stowed.push_back(StageItem::app("com.example.Mail", "Mail"));
  const WindowFacts window{
      BrowserKind::chrome,
      4711,
      {{"Inbox", "https://mail.example.com/", true}, {"  ", "https://[2001:db8::1]:8443/x", false}},
      false,
      false};
  for (auto& item : StageItem::forWindow(window)) s.stowed.push_back(item);
  s.kept.push_back(StageItem::app("com.example.Editor", "Editor"));
  s.guardEvents =
      std::vector<GuardEvent>{GuardEvent::make("com.example.Mail", "Mail", true, clock)};
  s.parkedAt = "2025-01-02T03:10:00Z";
  s.mark = ResumeMark{"com.google.Chrome",        "Google Chrome", "chrome", 4711, 1,
                      "https://mail.example.com/"};
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  ManualClock clock;

  const SafariAdapter safari;
  const ChromiumAdapter chrome(BrowserKind::chrome);
  put(out / "script" / "read-chromium.txt", chrome.readScript());
  put(out / "script" / "read-safari.txt", safari.readScript());
  put(out / "script" / "minimize-chromium.txt", chrome.setMinimizedScript(true, {11, 12, 99}));
  put(out / "script" / "restore-safari.txt", safari.setMinimizedScript(false, {21, 22}));
  put(out / "script" / "focus-chromium.txt", chrome.focusScript(11, 2));
  put(out / "script" / "focus-safari.txt", safari.focusScript(21, 2));

  AtomicWriteOptions quick;
  quick.sync = false;
  const fs::path work = out / ".work";
  fs::remove_all(work);
  {
    StageJournal journal(work / "journal", quick);
    if (!journal.write(fullSnapshot(clock))) return 1;
    put(out / "snapshot" / "full.json", slurp(journal.fileURL()));
    StageSnapshot bare;
    bare.takenAt = "2025-01-02T03:04:05Z";
    bare.actionText = "";
    if (!journal.write(bare)) return 1;
    put(out / "snapshot" / "bare.json", slurp(journal.fileURL()));
  }

  const auto task = AttentionTask::makeNow("Write the quarterly report", clock);
  put(out / "task" / "now.json", jsonread::dumpText(toJson(task)));

  {
    // The settings seeds start with the key and value the target sets: each ends at a
    // backslash followed by one more character.
    FileDefaults defaults(work / "standard.json", quick);
    Store store(defaults);
    store.setTheNow(task);
    store.setSelectedTintId("CARBON");
    store.setHasSeenMacFirstRun(true);
    StageMemory memory(defaults);
    memory.remember(StagePlanner::Remembered::keep, "com.example.Editor");
    memory.remember(StagePlanner::Remembered::stow, StageMemory::hostKey("news.example"));
    put(out / "defaults" / "standard.json", "selected_tint_id\\xAMBER\\x" + slurp(defaults.file()));
  }
  fs::remove_all(work);
  return 0;
}
