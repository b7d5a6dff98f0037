// A session model on a simulated desktop described in JSON, for trying the card and for
// the card's tests: the simulated platform gives the applications, the guard, a shield
// that records what it is asked, and browsers that answer the real scripts through the
// real lanes; the picker is unavailable, as on a machine with no language model
// configured. The queue, runner, clock, defaults and journal folder are handed in, so the
// tool runs on Qt's loop and a test on manual ones.
#pragma once

#include <filesystem>
#include <memory>

#include <nlohmann/json.hpp>

#include "base/AtomicFile.h"
#include "base/Clock.h"
#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "base/OffMainRunning.h"
#include "base/Result.h"
#include "data/Store.h"
#include "learning/StageMemory.h"
#include "session/MacNowModel.h"
#include "sim/SimPlatform.h"
#include "stage/StageJournal.h"

namespace tervane {

struct CardDesktop {
  struct Options {
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<MainQueue> main;
    std::shared_ptr<OffMainRunning> offMain;
    std::shared_ptr<Defaults> standardDefaults;
    std::shared_ptr<Defaults> sharedDefaults;
    std::filesystem::path journalFolder;
  };

  // The desktop and a model over it; an error names what is wrong with the description.
  // The description's remembered choices are put into the stage memory.
  static Result<CardDesktop> make(const nlohmann::json& description, Options options);

  // Whether a simulated browser's window is minimized now; none for an unknown window.
  std::optional<bool> isMinimized(BrowserKind kind, std::int64_t windowId) const;

  std::shared_ptr<sim::SimPlatform> platform;
  std::shared_ptr<sim::SimDesktop> desktop;
  std::shared_ptr<sim::RecordingShield> shield;
  std::shared_ptr<Store> store;
  std::shared_ptr<StageJournal> journal;
  std::shared_ptr<StageMemory> memory;
  std::shared_ptr<MacNowModel> model;
};

}  // namespace tervane
