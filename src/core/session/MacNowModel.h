// The session model: the one object that owns the person's current line, the open stage
// and every transition between them — staging, the browser half, pause and resume, bring
// back and finish, the guard's answers and the card's corrections, and learning at the
// end. Views read its observable properties and call its operations; every change to a
// stage is written to the journal first, and the model changes its state and the desktop
// only when the write succeeded.
//
// Main thread only. Work that may block (the picker, the browsers) runs through the
// off-main runner; its completion comes back to the main thread holding the model weakly
// and is dropped when a token says the request or the stage it belonged to is gone.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "base/OffMainRunning.h"
#include "base/Signal.h"
#include "data/AttentionTask.h"
#include "data/Store.h"
#include "guard/GuardObserving.h"
#include "guard/GuardPolicy.h"
#include "guard/ShieldPresenting.h"
#include "learning/ObservationLog.h"
#include "learning/StageMemory.h"
#include "session/BrowserPass.h"
#include "session/PlatformFactory.h"
#include "stage/ActPicker.h"
#include "stage/ActivationLog.h"
#include "stage/StageJournal.h"
#include "stage/StagePlanner.h"
#include "surfaces/AppSurfacing.h"
#include "surfaces/BrowserSurfacing.h"

namespace tervane {

class MacNowModel : public std::enable_shared_from_this<MacNowModel> {
 public:
  static constexpr double kMovingSeconds = 0.8;
  static constexpr double kStartFallbackSeconds = 3.0;
  static constexpr double kBrowserCheckThrottleSeconds = 3.0;
  static constexpr const char* kUnsavedStageBecause =
      "I could not save this stage, so I put nothing away. Everything is where it was.";

  struct Dependencies {
    std::shared_ptr<MainQueue> main;
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<PlatformFactory> platform;
    std::shared_ptr<Defaults> standardDefaults;  // the activation log's home
    std::shared_ptr<Store> store;
    std::shared_ptr<StageJournal> journal;
    std::shared_ptr<StageMemory> memory;
    std::shared_ptr<GuardObserving> monitor;
    std::shared_ptr<OffMainRunning> offMain;
    std::shared_ptr<ActPicking> picker;
    // Optional: built by `platform` when absent.
    std::shared_ptr<AppSurfacing> surface;
    std::shared_ptr<BrowserSurfacing> browsers;
    std::shared_ptr<ShieldPresenting> shield;
  };

  static std::shared_ptr<MacNowModel> make(Dependencies dependencies);

  MacNowModel(const MacNowModel&) = delete;
  MacNowModel& operator=(const MacNowModel&) = delete;

  // ---- Observed properties: each signal fires only when the value really changed. ----
  const std::optional<AttentionTask>& now() const { return now_.get(); }
  const std::optional<StageSnapshot>& openStage() const { return openStage_.get(); }
  const std::string& lastBecause() const { return lastBecause_.get(); }
  // True while a Start waits for the picker; the stage (or its refusal) follows.
  bool starting() const { return starting_.get(); }
  bool showFirstRun() const { return showFirstRun_.get(); }
  // The item the shield is asking about, while it asks.
  const std::optional<StageItem>& pendingSubject() const { return pendingSubject_.get(); }
  int firstRunStep() const { return firstRunStep_.get(); }
  const std::vector<BrowserKind>& deniedBrowsers() const { return deniedBrowsers_.get(); }
  const std::vector<BrowserKind>& busyBrowsers() const { return busyBrowsers_.get(); }
  const std::optional<std::string>& justFinished() const { return justFinished_.get(); }
  const std::optional<ObservationLog::Observation>& pendingQuestion() const {
    return pendingQuestion_.get();
  }

  Signal<std::optional<AttentionTask>>& nowChanged() { return now_.changed(); }
  Signal<std::optional<StageSnapshot>>& openStageChanged() { return openStage_.changed(); }
  Signal<std::string>& lastBecauseChanged() { return lastBecause_.changed(); }
  Signal<bool>& startingChanged() { return starting_.changed(); }
  Signal<bool>& showFirstRunChanged() { return showFirstRun_.changed(); }
  Signal<std::optional<StageItem>>& pendingSubjectChanged() { return pendingSubject_.changed(); }
  Signal<int>& firstRunStepChanged() { return firstRunStep_.changed(); }
  Signal<std::vector<BrowserKind>>& deniedBrowsersChanged() { return deniedBrowsers_.changed(); }
  Signal<std::vector<BrowserKind>>& busyBrowsersChanged() { return busyBrowsers_.changed(); }
  Signal<std::optional<std::string>>& justFinishedChanged() { return justFinished_.changed(); }
  Signal<std::optional<ObservationLog::Observation>>& pendingQuestionChanged() {
    return pendingQuestion_.changed();
  }

  void setShowFirstRun(bool show) { showFirstRun_.set(show); }
  void setFirstRunStep(int step) { firstRunStep_.set(step); }
  // The end of the walk-through: remembers that it was seen, hides it and tells the shell.
  void dismissFirstRun();
  // The menu's welcome row: the walk-through again from its first screen.
  void showFirstRunAgain();

  // Set by the app shell.
  std::function<void()> onFirstRunDismissed;
  std::function<void()> onFirstRunRequested;
  // Called once when a stage opens, with the apps-only snapshot.
  std::function<void(const StageSnapshot&)> onActBegan;

  // ---- Plain state, readable for views and tests. ----
  const std::string& startToken() const { return startToken_; }
  const std::string& currentAct() const { return act_; }
  const std::string& plainBecause() const { return plainBecause_; }
  const std::set<std::string>& passed() const { return passed_; }
  TimePoint movingUntil() const { return movingUntil_; }
  // True while windows are moving: within `kMovingSeconds` of a move, or while browser
  // windows are still being restored off the main thread.
  bool isTervaneMoving() const;
  bool isRestoringBrowsers() const { return restoringBrowsers_ > 0; }
  // True while a stage's browser windows are still being read, planned or minimized off
  // the main thread: the stage is not complete until then.
  bool isStagingBrowsers() const { return stagingBrowsers_ > 0; }
  // What the latest bring back (Show everything, Finished, quit) could not bring back, in
  // the person's words; "" when everything came back.
  const std::string& notBack() const { return notBack_; }
  // What an earlier Show everything could not bring back; the next one tries again.
  std::vector<std::string> stillHidden() const { return surface_->stillHidden(); }
  bool hasSeenFirstRun() const { return store_->hasSeenMacFirstRun(); }
  // Whole minutes since a parked stage was parked; none unless parked.
  std::optional<int> parkedMinutes() const;

  ActivationLog& activation() { return *activation_; }
  AppSurfacing& surface() { return *surface_; }
  BrowserSurfacing& browsers() { return *browsers_; }
  StageMemory& memory() { return *memory_; }

  // ---- Staging. ----
  void capture(const std::string& line);
  void set(const SeedRule& rule);
  void stage(const SeedRule& rule, const std::string& line,
             const std::optional<std::set<std::string>>& wanted,
             const std::set<std::string>& wantedBrowsers,
             const std::optional<BrowserPass>& prefetched);
  void moving(const std::function<void()>& body);
  void prewarmPicker();

  // ---- The browser half. ----
  void join(const BrowserPass& pass, const SeedRule& rule, double idle);
  void stageBrowsers(const std::vector<BrowserKind>& running, const SeedRule& rule, double idle,
                     const std::string& line);
  void askAndStageBrowsers(const std::vector<BrowserKind>& kinds, const SeedRule& rule, double idle,
                           const std::string& line);
  void minimizeOffMain(const std::map<BrowserKind, std::vector<std::int64_t>>& windows);
  std::string withRefusals(const std::string& text) const;
  static std::map<BrowserKind, std::vector<std::int64_t>> windowIds(
      const std::vector<StageItem>& items);

  // ---- Ending and pausing. ----
  void park();
  void resume();
  void bringBack(bool waitingForBrowsers);
  void done();
  void undoFinish();
  void recoverIfNeeded();
  void prepareToQuit();
  [[nodiscard]] bool apply(const StageSnapshot& snapshot);
  void stopGuard();
  void startGuard();
  void refineMark(const AppFacts& frontmost);

  // ---- The guard and corrections. ----
  void cameForward(const std::string& bundleId);
  GuardVerdict decide(const GuardPolicy::Trigger& trigger) const;
  void raise(const StageItem& item);
  void checkBrowserWindows(BrowserKind kind);
  void answer(bool letThrough);
  // By value: the item may be one of the open stage's, which these replace.
  void keepAnyway(StageItem item);
  void stowAlso(StageItem item);
  // Moves the item as the choice says; false when a kept item did not come back.
  bool act(StagePlanner::Remembered choice, const StageItem& item);
  // Brings a tab to the front of its window, which is shown; false when that fails.
  bool focusTab(const StageItem& tab);
  void remember(StagePlanner::Remembered choice, const StageItem& item, const StageSnapshot& stage);
  static std::vector<StageItem> evidence(const StageItem& item,
                                         const std::vector<StageItem>& items);
  static std::string activationTarget(const StageItem& item);
  void observe(const StageSnapshot& stage);
  bool wasReachedFor(const std::string& bundleId, const StageSnapshot& stage) const;
  void answerQuestion(bool yes);

 private:
  struct Passkey {};

 public:
  MacNowModel(Passkey, Dependencies dependencies);

 private:
  std::weak_ptr<MacNowModel> weak() { return weak_from_this(); }
  void assertMain() const;
  void setMovingFromNow();
  void closeJournal();
  // Unhides the apps; the names of those that still run and did not come back.
  std::vector<std::string> unhideApps(const std::vector<std::string>& bundleIds);
  StageSnapshot carryOverFromOpenStage(StageSnapshot next) const;

  std::shared_ptr<MainQueue> main_;
  std::shared_ptr<const Clock> clock_;
  std::shared_ptr<PlatformFactory> platform_;
  std::shared_ptr<Defaults> standardDefaults_;
  std::shared_ptr<Store> store_;
  std::shared_ptr<ActivationSource> activationSource_;
  std::shared_ptr<ActivationLog> activation_;
  std::shared_ptr<AppSurfacing> surface_;
  std::shared_ptr<StageJournal> journal_;
  std::shared_ptr<StageMemory> memory_;
  std::shared_ptr<BrowserSurfacing> browsers_;
  std::shared_ptr<GuardObserving> monitor_;
  std::shared_ptr<ShieldPresenting> shield_;
  std::shared_ptr<OffMainRunning> offMain_;
  std::shared_ptr<ActPicking> picker_;

  Observable<bool> starting_{false};
  std::string startToken_;
  Observable<std::optional<AttentionTask>> now_;
  Observable<std::optional<StageSnapshot>> openStage_;
  Observable<std::string> lastBecause_;
  Observable<bool> showFirstRun_{false};
  Observable<int> firstRunStep_{0};
  Observable<std::vector<BrowserKind>> deniedBrowsers_;
  Observable<std::vector<BrowserKind>> busyBrowsers_;
  std::string plainBecause_;
  // Whether this run has said that a browser is seen through its windows alone.
  bool toldWindowsOnly_ = false;
  std::string act_;
  std::set<std::string> passed_;
  Observable<std::optional<StageItem>> pendingSubject_;
  TimePoint movingUntil_ = TimePoint::min();
  int restoringBrowsers_ = 0;
  int stagingBrowsers_ = 0;
  // The shield's subject's use before the activation that raised the shield; focus
  // coming back to it while the shield asks may record it again.
  std::optional<TimePoint> useBeforeShield_;
  std::string notBack_;
  void setNotBack(std::string text);
  std::map<BrowserKind, TimePoint> lastBrowserCheck_;
  Observable<std::optional<std::string>> justFinished_;
  Observable<std::optional<ObservationLog::Observation>> pendingQuestion_;
};

}  // namespace tervane
