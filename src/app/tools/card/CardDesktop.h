// A session model on a simulated desktop described in JSON (the format of `SimDesktop`),
// for trying the card and for the card's tests: the applications, the guard and a shield
// that records what it is asked come from the simulated desktop; the browsers answer from
// the description's "browsers" states; the picker is unavailable, as it is on a machine
// with no language model configured. The queue, runner, clock, defaults and journal folder
// are handed in, so the tool runs on Qt's loop and a test on manual ones.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "base/OffMainRunning.h"
#include "base/Result.h"
#include "data/Store.h"
#include "learning/StageMemory.h"
#include "platform/sim/SimDesktop.h"
#include "session/MacNowModel.h"
#include "stage/StageJournal.h"

namespace tervane {

// The browsers of a simulated desktop, from its "browsers" states:
//   {"windows": [{"id": 11, "minimized": false, "visible": true, "activeTabIndex": 1,
//                 "tabs": [{"title": "Inbox", "url": "https://mail.example.com/"}]}]}
// Windows are listed front to back. Moves change the states it holds. Permissions are the
// desktop's. Thread-safe: the model reads browsers off the main thread.
class DesktopBrowsers final : public BrowserSurfacing {
 public:
  static Result<std::shared_ptr<DesktopBrowsers>> make(std::shared_ptr<sim::SimDesktop> desktop);

  std::vector<BrowserKind> runningBrowsers() override;
  BrowserAuthorization authorization(BrowserKind kind) override;
  BrowserAuthorization requestConsent(BrowserKind kind) override;
  AppleScriptResult<std::vector<WindowFacts>> windows(BrowserKind kind) override;
  AppleScriptResult<int> minimize(const std::vector<std::int64_t>& windowIds,
                                  BrowserKind kind) override;
  AppleScriptResult<int> restore(const std::vector<std::int64_t>& windowIds,
                                 BrowserKind kind) override;
  AppleScriptStatus focus(std::int64_t windowId, int tabIndex, BrowserKind kind) override;

  // Whether the window is minimized now; none for an unknown window.
  std::optional<bool> isMinimized(BrowserKind kind, std::int64_t windowId) const;

 private:
  explicit DesktopBrowsers(std::shared_ptr<sim::SimDesktop> desktop)
      : desktop_(std::move(desktop)) {}
  AppleScriptResult<int> setMinimized(const std::vector<std::int64_t>& ids, BrowserKind kind,
                                      bool minimized);

  std::shared_ptr<sim::SimDesktop> desktop_;
  mutable std::mutex mutex_;
  std::map<BrowserKind, std::vector<WindowFacts>> windows_;
};

struct CardDesktop {
  struct Options {
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<MainQueue> main;
    std::shared_ptr<OffMainRunning> offMain;
    std::shared_ptr<Defaults> standardDefaults;
    std::shared_ptr<Defaults> sharedDefaults;
    std::filesystem::path journalFolder;
    AtomicWriteOptions journalOptions;
  };

  // The desktop and a model over it; an error names what is wrong with the description.
  static Result<CardDesktop> make(const nlohmann::json& description, Options options);

  std::shared_ptr<sim::SimDesktop> desktop;
  std::shared_ptr<DesktopBrowsers> browsers;
  std::shared_ptr<sim::RecordingShield> shield;
  std::shared_ptr<Store> store;
  std::shared_ptr<StageJournal> journal;
  std::shared_ptr<StageMemory> memory;
  std::shared_ptr<MacNowModel> model;
};

}  // namespace tervane
