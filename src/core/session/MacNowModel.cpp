#include "session/MacNowModel.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <thread>

#include "base/ISOTime.h"
#include "base/Log.h"
#include "base/Text.h"
#include "base/Uuid.h"
#include "words/StageWords.h"

namespace tervane {
namespace {

using Remembered = StagePlanner::Remembered;

// The decimal number after the last `mark` of an item's id, when that is all there is.
template <class Number>
std::optional<Number> numberAfter(const std::string& itemId, char mark) {
  const auto at = itemId.rfind(mark);
  if (at == std::string::npos || at + 1 >= itemId.size()) return std::nullopt;
  Number value = 0;
  const char* first = itemId.data() + at + 1;
  const char* last = itemId.data() + itemId.size();
  auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

// The window id of a window item ("chrome:4711").
std::optional<std::int64_t> windowNumber(const std::string& itemId) {
  return numberAfter<std::int64_t>(itemId, ':');
}

// The window listed in `items` that holds a tab item; the item itself for anything else, or
// when its window is not listed there. A tab comes and goes with its window, so a
// correction on a tab acts on that window.
StageItem windowHolding(const StageItem& item, const std::vector<StageItem>& items) {
  if (item.kind != StageItem::Kind::tab || !item.parentId) return item;
  const auto window = std::find_if(items.begin(), items.end(), [&](const StageItem& other) {
    return other.id == *item.parentId;
  });
  return window == items.end() ? item : *window;
}

std::string joinNames(const std::vector<BrowserKind>& kinds) {
  std::string text;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    if (i > 0) text += " and ";
    text += displayName(kinds[i]);
  }
  return text;
}

template <class T>
std::vector<T> appended(std::vector<T> list, const std::vector<T>& more) {
  list.insert(list.end(), more.begin(), more.end());
  return list;
}

bool contains(const std::vector<StageItem>& items, const StageItem& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// Moves `item` and `evidence` out of `from` and onto the end of `to`, the item first.
void moveItems(const StageItem& item, const std::vector<StageItem>& evidence,
               std::vector<StageItem>& from, std::vector<StageItem>& to) {
  auto moved = [&](const StageItem& candidate) {
    return candidate == item || contains(evidence, candidate);
  };
  from.erase(std::remove_if(from.begin(), from.end(), moved), from.end());
  to.push_back(item);
  to.insert(to.end(), evidence.begin(), evidence.end());
}

// Restores every browser's windows and returns when all are done. Each browser runs on a
// thread of its own: a browser whose calls hang then costs the caller its own lane's time
// limits (one permission query and one script), and never adds them to another's.
void restoreEveryBrowserAtOnce(BrowserSurfacing& browsers,
                               const std::map<BrowserKind, std::vector<std::int64_t>>& windows) {
  std::vector<std::thread> restoring;
  restoring.reserve(windows.size());
  for (const auto& [kind, ids] : windows) {
    restoring.emplace_back([&browsers, kind = kind, &ids = ids] {
      (void)browsers.restore(ids, kind);  // a failure leaves that browser's windows as they are
    });
  }
  for (auto& thread : restoring) thread.join();
}

}  // namespace

std::shared_ptr<MacNowModel> MacNowModel::make(Dependencies dependencies) {
  return std::make_shared<MacNowModel>(Passkey{}, std::move(dependencies));
}

MacNowModel::MacNowModel(Passkey, Dependencies d)
    : main_(std::move(d.main)),
      clock_(std::move(d.clock)),
      platform_(std::move(d.platform)),
      standardDefaults_(std::move(d.standardDefaults)),
      store_(std::move(d.store)),
      journal_(std::move(d.journal)),
      memory_(std::move(d.memory)),
      browsers_(std::move(d.browsers)),
      monitor_(std::move(d.monitor)),
      shield_(std::move(d.shield)),
      offMain_(std::move(d.offMain)),
      picker_(std::move(d.picker)),
      startToken_(newUuid()),
      act_(newUuid()) {
  activationSource_ = platform_->activationSource();
  activation_ = std::make_shared<ActivationLog>(*standardDefaults_, *clock_, *activationSource_);
  surface_ = d.surface ? std::move(d.surface) : platform_->appSurface(activation_);
  if (!browsers_) browsers_ = platform_->browserSurface();
  if (!shield_) shield_ = platform_->shield();
  if (!picker_) picker_ = std::make_shared<NoPicker>();
  now_.set(store_->theNow());
}

void MacNowModel::assertMain() const {
  assert(main_->isMainThread());
}

bool MacNowModel::isTervaneMoving() const {
  return restoringBrowsers_ > 0 || clock_->now() < movingUntil_;
}

void MacNowModel::setMovingFromNow() {
  movingUntil_ = clock_->now() + toDuration(kMovingSeconds);
}

void MacNowModel::moving(const std::function<void()>& body) {
  setMovingFromNow();
  body();
  setMovingFromNow();
}

std::vector<std::string> MacNowModel::unhideApps(const std::vector<std::string>& bundleIds) {
  std::set<std::string> failed;
  moving([&] {
    for (const auto& id : bundleIds) {
      if (!surface_->unhide(id)) failed.insert(id);
    }
  });
  // An app that quit meanwhile has nothing left to bring back.
  std::vector<std::string> names;
  if (failed.empty()) return names;
  for (const auto& app : surface_->runningApps()) {
    if (failed.count(app.bundleId) != 0) names.push_back(app.name);
  }
  return names;
}

// The card, the receipt and status show it through `lastBecause`.
void MacNowModel::setNotBack(std::string text) {
  notBack_ = std::move(text);
  lastBecause_.set(notBack_);
}

void MacNowModel::closeJournal() {
  // A journal that cannot be removed is left for the next launch to find; the stage has
  // already ended on screen, and recovering it again is harmless.
  (void)journal_->close();
}

// ---- Staging ------------------------------------------------------------------------

void MacNowModel::capture(const std::string& line) {
  assertMain();
  const auto text = Text::trimmed(line);
  if (text.empty()) return;
  auto task = AttentionTask::makeNow(text, *clock_);
  store_->setTheNow(task);
  now_.set(std::move(task));
  pendingQuestion_.set(std::nullopt);
  justFinished_.set(std::nullopt);
}

void MacNowModel::set(const SeedRule& rule) {
  assertMain();
  if (starting_.get()) return;
  const std::string line = now_.get() ? Text::trimmed(now_.get()->textContent) : "";
  if (line.empty() || !picker_->isAvailable()) {
    stage(rule, line, std::nullopt, {}, std::nullopt);
    return;
  }

  std::vector<std::string> appNames;
  for (const auto& app : surface_->runningApps()) {
    if (app.canHide && !app.isFrontmost && !BrowserKinds::is(app.bundleId)) {
      appNames.push_back(app.name);
    }
  }
  const auto running = browsers_->runningBrowsers();
  const auto token = newUuid();
  startToken_ = token;
  starting_.set(true);

  main_->postAfter(kStartFallbackSeconds, [weak = weak(), token, rule, line] {
    auto self = weak.lock();
    if (!self || self->startToken_ != token || !self->starting_.get()) return;
    self->starting_.set(false);
    self->stage(rule, line, std::nullopt, {}, std::nullopt);
  });

  offMain_->run<PickedBeforeStaging>(
      [browsers = browsers_, picker = picker_, running, appNames, line] {
        return BrowserPasses::readAndPick(running, *browsers, appNames, *picker, line);
      },
      [weak = weak(), token, rule, line](PickedBeforeStaging picked) {
        auto self = weak.lock();
        if (!self || self->startToken_ != token || !self->starting_.get()) return;
        self->starting_.set(false);
        self->stage(rule, line, picked.wantedApps, picked.wantedBrowsers, picked.pass);
      });
}

// A stage that replaces an open one must not forget what the open one put away and the
// new plan does not hold: minimized windows are skipped by the window planner, so
// without this they would never be brought back by Show everything. Items are matched by
// id, so none is held twice; a carried window that the browser half plans again is
// dropped when it joins (see `join`).
StageSnapshot MacNowModel::carryOverFromOpenStage(StageSnapshot next) const {
  if (!openStage_.get()) return next;
  std::set<std::string> held;
  for (const auto& item : next.stowed) held.insert(item.id);
  for (const auto& item : next.kept) held.insert(item.id);
  for (const auto& item : openStage_.get()->stowed) {
    if (held.insert(item.id).second) next.stowed.push_back(item);
  }
  return next;
}

void MacNowModel::stage(const SeedRule& rule, const std::string& line,
                        const std::optional<std::set<std::string>>& wanted,
                        const std::set<std::string>& wantedBrowsers,
                        const std::optional<BrowserPass>& prefetched) {
  assertMain();
  const double idle = surface_->humanIdleSeconds();
  const auto apps = surface_->runningApps();
  const auto plan =
      StagePlanner::plan(apps, rule, idle, memory_->choices(), wanted, wantedBrowsers);

  deniedBrowsers_.set({});
  busyBrowsers_.set({});
  plainBecause_ = plan.because;

  StageSnapshot snapshot;
  snapshot.takenAt = ISOTime::now(*clock_);
  snapshot.actionText = now_.get() ? now_.get()->textContent : "";
  snapshot.stowed = plan.stowed;
  snapshot.kept = plan.kept;

  if (idle >= rule.meetingVeto && plan.stowed.empty()) {
    lastBecause_.set(withRefusals(plainBecause_));
    return;
  }

  // The started note tells of what this Start put away, not of what it carried over.
  StageSnapshot began = snapshot;
  snapshot = carryOverFromOpenStage(std::move(snapshot));
  if (!journal_->write(snapshot)) {
    // Nothing is hidden that could not be brought back after a crash; a Start that does
    // nothing must still say why.
    lastBecause_.set(kUnsavedStageBecause);
    return;
  }

  act_ = newUuid();
  std::vector<StageItem> refused;
  moving([&] {
    for (const auto& item : plan.stowed) {
      if (!surface_->hide(item.id)) refused.push_back(item);
    }
  });
  if (!refused.empty()) {
    if (refused.size() == plan.stowed.size() && !openStage_.get()) {
      // Nothing moved: there is no stage to watch over, nor one to recover.
      closeJournal();
      lastBecause_.set(StageWords::kDesktopRefused);
      return;
    }
    const auto wasRefused = [&](const StageItem& item) { return contains(refused, item); };
    std::erase_if(snapshot.stowed, wasRefused);
    std::erase_if(began.stowed, wasRefused);
    // Should this fail, the journal lists a few apps that are still on screen: bringing
    // them back later does no harm.
    (void)journal_->write(snapshot);
  }
  openStage_.set(snapshot);
  lastBecause_.set(withRefusals(plainBecause_));
  startGuard();
  if (onActBegan) onActBegan(began);

  if (prefetched) {
    join(*prefetched, rule, idle);
    if (!prefetched->needConsent.empty()) {
      askAndStageBrowsers(prefetched->needConsent, rule, idle, line);
    }
    return;
  }
  const auto running = browsers_->runningBrowsers();
  if (running.empty()) return;
  stageBrowsers(running, rule, idle, line);
}

void MacNowModel::dismissFirstRun() {
  assertMain();
  store_->setHasSeenMacFirstRun(true);
  showFirstRun_.set(false);
  if (onFirstRunDismissed) onFirstRunDismissed();
}

void MacNowModel::showFirstRunAgain() {
  assertMain();
  firstRunStep_.set(0);
  showFirstRun_.set(true);
  if (onFirstRunRequested) onFirstRunRequested();
}

void MacNowModel::prewarmPicker() {
  assertMain();
  if (!picker_->isAvailable()) return;
  offMain_->runTask([picker = picker_] { picker->prewarm(); }, [] {});
}

// ---- The browser half -------------------------------------------------------------

void MacNowModel::stageBrowsers(const std::vector<BrowserKind>& running, const SeedRule& rule,
                                double idle, const std::string& line) {
  const auto act = act_;
  ++stagingBrowsers_;
  offMain_->run<BrowserPass>(
      [browsers = browsers_, picker = picker_, running, line] {
        auto pass = BrowserPasses::readAllowed(running, *browsers);
        BrowserPasses::pickTabs(line, *picker, pass);
        return pass;
      },
      [weak = weak(), act, rule, idle, line](BrowserPass pass) {
        auto self = weak.lock();
        if (!self) return;
        if (self->act_ == act) {
          self->join(pass, rule, idle);
          if (!pass.needConsent.empty())
            self->askAndStageBrowsers(pass.needConsent, rule, idle, line);
        }
        --self->stagingBrowsers_;  // after the join, which starts the minimize
      });
}

void MacNowModel::askAndStageBrowsers(const std::vector<BrowserKind>& kinds, const SeedRule& rule,
                                      double idle, const std::string& line) {
  const auto act = act_;
  ++stagingBrowsers_;
  offMain_->run<BrowserPass>(
      [browsers = browsers_, picker = picker_, kinds, line] {
        return BrowserPasses::askConsentAndRead(kinds, *browsers, *picker, line);
      },
      [weak = weak(), act, rule, idle](BrowserPass pass) {
        auto self = weak.lock();
        if (!self) return;
        // Consent is asked once per stage: this pass is joined and never asked again.
        if (self->act_ == act) self->join(pass, rule, idle);
        --self->stagingBrowsers_;
      });
}

void MacNowModel::join(const BrowserPass& pass, const SeedRule& rule, double idle) {
  assertMain();
  deniedBrowsers_.set(appended(deniedBrowsers_.get(), pass.denied));
  busyBrowsers_.set(appended(busyBrowsers_.get(), pass.busy));
  // Told once per run: after that the person knows, and the reason line stays short.
  const auto windowsOnlyOnce = [&] {
    if (toldWindowsOnly_ || pass.windowsOnly.empty()) return;
    toldWindowsOnly_ = true;
    const auto note = StageWords::seesWindowsOnly(pass.windowsOnly);
    plainBecause_ = plainBecause_.empty() ? note : plainBecause_ + " " + note;
  };
  if (!openStage_.get() || pass.windows.empty()) {
    windowsOnlyOnce();
    lastBecause_.set(withRefusals(plainBecause_));
    return;
  }

  std::set<std::string> stowedAppIds;
  for (const auto& item : openStage_.get()->stowed) {
    if (item.kind == StageItem::Kind::app) stowedAppIds.insert(item.id);
  }
  const auto plan = StagePlanner::planWindows(pass.windows, stowedAppIds, rule, idle,
                                              memory_->choices(), pass.wantedTabs);
  auto copy = *openStage_.get();
  // A window carried over from a replaced stage that this pass plans again (the person
  // has brought it back since) takes the new plan's verdict: its old entry and its old
  // tabs go, so it is never both kept and stowed, nor stowed twice.
  std::set<std::string> planned;
  for (const auto& item : plan.stowedItems()) planned.insert(item.id);
  for (const auto& item : plan.keptItems()) planned.insert(item.id);
  const auto replanned = [&](const StageItem& item) {
    return planned.count(item.id) > 0 || (item.parentId && planned.count(*item.parentId) > 0);
  };
  std::erase_if(copy.stowed, replanned);
  std::erase_if(copy.kept, replanned);
  copy.stowed = appended(copy.stowed, plan.stowedItems());
  copy.kept = appended(copy.kept, plan.keptItems());
  if (!apply(copy)) return;

  if (!plan.because.empty()) {
    plainBecause_ = plainBecause_.empty() ? plan.because : plainBecause_ + " " + plan.because;
  }
  windowsOnlyOnce();
  lastBecause_.set(withRefusals(plainBecause_));
  minimizeOffMain(plan.stowByBrowser());
}

void MacNowModel::minimizeOffMain(const std::map<BrowserKind, std::vector<std::int64_t>>& windows) {
  if (windows.empty()) return;
  setMovingFromNow();
  ++stagingBrowsers_;
  offMain_->runTask(
      [browsers = browsers_, windows] {
        for (const auto& [kind, ids] : windows) {
          if (!ids.empty()) (void)browsers->minimize(ids, kind);  // a failure skips to the next
        }
      },
      [weak = weak()] {
        if (auto self = weak.lock()) {
          self->setMovingFromNow();
          --self->stagingBrowsers_;
        }
      });
}

std::string MacNowModel::withRefusals(const std::string& text) const {
  std::vector<std::string> parts;
  if (!text.empty()) parts.push_back(text);
  if (!deniedBrowsers_.get().empty()) {
    parts.push_back(joinNames(deniedBrowsers_.get()) +
                    " did not give permission, so its tabs stayed exactly where they were. "
                    "System Settings, Privacy & Security, Automation.");
  }
  if (!busyBrowsers_.get().empty()) {
    parts.push_back(joinNames(busyBrowsers_.get()) +
                    " did not answer, so its tabs stayed exactly where they were.");
  }
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += " ";
    joined += parts[i];
  }
  return joined;
}

std::map<BrowserKind, std::vector<std::int64_t>> MacNowModel::windowIds(
    const std::vector<StageItem>& items) {
  std::map<BrowserKind, std::vector<std::int64_t>> groups;
  for (const auto& item : items) {
    if (item.kind != StageItem::Kind::window) continue;
    auto kind = item.browserKind();
    auto number = windowNumber(item.id);
    if (kind && number) groups[*kind].push_back(*number);
  }
  return groups;
}

// ---- Ending and pausing -------------------------------------------------------------

bool MacNowModel::apply(const StageSnapshot& snapshot) {
  assertMain();
  if (!journal_->write(snapshot)) return false;
  openStage_.set(snapshot);
  return true;
}

void MacNowModel::stopGuard() {
  monitor_->stop();
  shield_->dismiss();
  pendingSubject_.set(std::nullopt);
  passed_.clear();
  lastBrowserCheck_.clear();
}

void MacNowModel::startGuard() {
  if (monitor_->isRunning()) return;
  monitor_->start([weak = weak()](const std::string& bundleId) {
    if (auto self = weak.lock()) self->cameForward(bundleId);
  });
}

std::optional<int> MacNowModel::parkedMinutes() const {
  const auto& stage = openStage_.get();
  if (!stage || !stage->parkedAt) return std::nullopt;
  auto parkedAt = ISOTime::parse(*stage->parkedAt);
  if (!parkedAt) return std::nullopt;
  const double minutes = std::trunc(secondsBetween(*parkedAt, clock_->now()) / 60.0);
  return std::max(0, static_cast<int>(minutes));
}

void MacNowModel::park() {
  assertMain();
  if (!openStage_.get() || openStage_.get()->isParked()) return;
  auto copy = *openStage_.get();
  copy.parkedAt = ISOTime::now(*clock_);

  std::optional<AppFacts> frontmost;
  for (const auto& app : surface_->runningApps()) {
    if (app.isFrontmost) {
      frontmost = app;
      break;
    }
  }
  copy.mark.reset();
  if (frontmost) copy.mark = ResumeMark{frontmost->bundleId, frontmost->name, {}, {}, {}, {}};

  if (!apply(copy)) return;
  stopGuard();
  lastBecause_.set("Paused. Your apps are still hidden, and I will not stop you opening anything.");
  if (frontmost) refineMark(*frontmost);
}

void MacNowModel::refineMark(const AppFacts& frontmost) {
  auto kind = browserKindForBundleId(frontmost.bundleId);
  if (!kind || !openStage_.get()) return;
  const auto act = act_;
  const auto parkedAt = openStage_.get()->parkedAt;
  offMain_->run<std::optional<ResumeMark>>(
      [browsers = browsers_, kind = *kind, frontmost]() -> std::optional<ResumeMark> {
        if (!browsers->authorization(kind).canRead()) return std::nullopt;
        auto windows = browsers->windows(kind);
        if (!windows) return std::nullopt;
        for (const auto& window : windows.value()) {
          if (!window.isFrontmost) continue;
          for (std::size_t i = 0; i < window.tabs.size(); ++i) {
            if (!window.tabs[i].isActive) continue;
            return ResumeMark{frontmost.bundleId, frontmost.name,          rawValue(kind),
                              window.windowId,    static_cast<int>(i + 1), window.tabs[i].url};
          }
          return std::nullopt;
        }
        return std::nullopt;
      },
      [weak = weak(), act, parkedAt](std::optional<ResumeMark> mark) {
        auto self = weak.lock();
        if (!mark || !self || self->act_ != act || !self->openStage_.get() ||
            self->openStage_.get()->parkedAt != parkedAt) {
          return;
        }
        auto copy = *self->openStage_.get();
        copy.mark = std::move(mark);
        (void)self->apply(copy);
      });
}

void MacNowModel::resume() {
  assertMain();
  if (!openStage_.get() || !openStage_.get()->isParked()) return;
  auto copy = *openStage_.get();
  const auto mark = copy.mark;
  copy.parkedAt.reset();
  copy.mark.reset();
  if (!apply(copy)) return;

  moving([&] {
    for (const auto& item : copy.stowed) {
      if (item.kind == StageItem::Kind::app) surface_->hide(item.id);
    }
  });
  startGuard();
  lastBecause_.set("Back to it. Everything you were not using is hidden again.");

  const auto windows = windowIds(copy.stowed);
  struct TabTarget {
    BrowserKind kind;
    std::int64_t windowId;
    int tabIndex;
  };
  std::optional<TabTarget> target;
  if (mark && mark->browserKind() && mark->windowId && mark->tabIndex) {
    target = TabTarget{*mark->browserKind(), *mark->windowId, *mark->tabIndex};
  }
  offMain_->runTask(
      [browsers = browsers_, windows, target] {
        for (const auto& [kind, ids] : windows) (void)browsers->minimize(ids, kind);
        if (target) (void)browsers->focus(target->windowId, target->tabIndex, target->kind);
      },
      [weak = weak(), mark] {
        auto self = weak.lock();
        if (!self) return;
        self->moving([&] {
          if (mark) self->surface_->activate(mark->bundleId);
        });
      });
}

void MacNowModel::bringBack(bool waitingForBrowsers) {
  assertMain();
  if (!openStage_.get()) {
    // What an earlier Show everything could not bring back is tried again.
    if (const auto left = stillHidden(); !left.empty())
      setNotBack(StageWords::notBack(unhideApps(left)));
    return;
  }
  const auto stage = *openStage_.get();
  stopGuard();
  act_ = newUuid();

  std::vector<std::string> apps;
  for (const auto& item : stage.stowed) {
    if (item.kind == StageItem::Kind::app) apps.push_back(item.id);
  }
  const auto notBack = unhideApps(apps);

  const auto windows = windowIds(stage.stowed);
  if (windows.empty()) {
    closeJournal();
  } else if (waitingForBrowsers) {
    moving([&] { restoreEveryBrowserAtOnce(*browsers_, windows); });
    closeJournal();
  } else {
    moving([] {});
    ++restoringBrowsers_;
    offMain_->run<std::vector<std::string>>(
        [browsers = browsers_, windows] {
          std::vector<std::string> failed;
          for (const auto& [kind, ids] : windows) {
            if (!browsers->restore(ids, kind)) failed.push_back(displayName(kind) + " windows");
          }
          return failed;
        },
        [weak = weak(), journal = journal_, act = act_](std::vector<std::string> failed) {
          auto self = weak.lock();
          if (self) --self->restoringBrowsers_;
          // A stage begun while the windows were coming back owns the journal now; closing
          // it here would throw that stage's record away.
          if (self && self->act_ != act) return;
          (void)journal->close();
          if (!self) return;
          if (!failed.empty()) {
            const auto& before = self->notBack_;
            self->setNotBack((before.empty() ? "" : before + " ") + StageWords::notBack(failed));
          }
          self->moving([] {});
        });
  }

  openStage_.set(std::nullopt);
  setNotBack(StageWords::notBack(notBack));
  deniedBrowsers_.set({});
  busyBrowsers_.set({});
}

void MacNowModel::done() {
  assertMain();
  notBack_.clear();
  if (openStage_.get()) {
    observe(*openStage_.get());
    bringBack(false);
  }
  justFinished_.set(now_.get() ? std::optional<std::string>(now_.get()->textContent)
                               : std::nullopt);
  store_->setTheNow(std::nullopt);
  now_.set(std::nullopt);
}

void MacNowModel::undoFinish() {
  assertMain();
  if (!justFinished_.get()) return;
  auto task = AttentionTask::makeNow(*justFinished_.get(), *clock_);
  store_->setTheNow(task);
  now_.set(std::move(task));
  justFinished_.set(std::nullopt);
}

void MacNowModel::recoverIfNeeded() {
  assertMain();
  auto stage = journal_->open();
  openStage_.set(stage);
  // Without a stage, whatever is still put away is what a restore could not bring back.
  if (!stage) bringBack(false);
  if (stage && !stage->stowed.empty()) {
    const auto n =
        std::count_if(stage->stowed.begin(), stage->stowed.end(),
                      [](const StageItem& item) { return item.kind != StageItem::Kind::tab; });
    const std::string phrase = std::to_string(n) + " thing" + (n == 1 ? " is" : "s are");
    lastBecause_.set(stage->isParked() ? "Tervane stopped while you were stepped out. Your " +
                                             phrase + " still put away, waiting."
                                       : "Tervane stopped while this was open. Your " + phrase +
                                             " still put away, safe.");
  }
  if (stage && !stage->isParked()) startGuard();
}

void MacNowModel::prepareToQuit() {
  assertMain();
  if (!openStage_.get()) return;
  bringBack(true);
  // Nobody reads the card after this; the log keeps it, and the next launch tries again.
  if (!notBack_.empty()) Log("stage").error("at quit: " + notBack_);
}

// ---- The guard and corrections ------------------------------------------------------

GuardVerdict MacNowModel::decide(const GuardPolicy::Trigger& trigger) const {
  const auto& stage = openStage_.get();
  return GuardPolicy::decide(trigger, stage, passed_, stage && stage->isParked(),
                             isTervaneMoving());
}

void MacNowModel::cameForward(const std::string& bundleId) {
  assertMain();
  const auto verdict = decide(GuardPolicy::Trigger::app(bundleId));
  if (verdict.isShield()) {
    raise(*verdict.item());
  } else if (verdict.reason() == GuardVerdict::Reason::notOurs) {
    // A kept browser came forward: one of its stowed windows may be what the person opened.
    if (auto kind = browserKindForBundleId(bundleId)) checkBrowserWindows(*kind);
  }
}

void MacNowModel::raise(const StageItem& item) {
  assertMain();
  if (shield_->isShowing()) return;
  useBeforeShield_ = activation_->previousUse(item.id);
  pendingSubject_.set(item);
  std::string text;
  if (openStage_.get()) {
    text = openStage_.get()->actionText;
  } else if (now_.get()) {
    text = now_.get()->textContent;
  }
  shield_->present(item, text, [weak = weak()](bool letThrough) {
    if (auto self = weak.lock()) self->answer(letThrough);
  });
}

void MacNowModel::checkBrowserWindows(BrowserKind kind) {
  assertMain();
  const auto& stage = openStage_.get();
  if (!stage || stage->isParked()) return;
  std::set<std::int64_t> ids;
  for (const auto& item : stage->stowed) {
    if (item.kind != StageItem::Kind::window || item.browser != rawValue(kind)) continue;
    if (auto number = windowNumber(item.id)) ids.insert(*number);
  }
  if (ids.empty()) return;

  const auto nowTime = clock_->now();
  auto last = lastBrowserCheck_.find(kind);
  if (last != lastBrowserCheck_.end() &&
      secondsBetween(last->second, nowTime) < kBrowserCheckThrottleSeconds) {
    return;
  }
  lastBrowserCheck_[kind] = nowTime;

  offMain_->run<std::optional<std::string>>(
      [browsers = browsers_, kind, ids]() -> std::optional<std::string> {
        if (!browsers->authorization(kind).canRead()) return std::nullopt;
        auto windows = browsers->windows(kind);
        if (!windows) return std::nullopt;
        for (const auto& window : windows.value()) {
          if (ids.count(window.windowId) > 0 && !window.isMinimized) return window.stageId();
        }
        return std::nullopt;
      },
      [weak = weak()](std::optional<std::string> itemId) {
        auto self = weak.lock();
        if (!itemId || !self) return;
        const auto verdict = self->decide(GuardPolicy::Trigger::window(*itemId));
        if (verdict.isShield()) self->raise(*verdict.item());
      });
}

void MacNowModel::answer(bool letThrough) {
  assertMain();
  shield_->dismiss();
  auto subject = pendingSubject_.get();
  pendingSubject_.set(std::nullopt);
  if (!subject || !openStage_.get()) return;

  auto copy = *openStage_.get();
  if (!copy.guardEvents) copy.guardEvents.emplace();
  copy.guardEvents->push_back(GuardEvent::make(subject->id, subject->name, letThrough, *clock_));

  if (!letThrough) {
    if (!apply(copy)) return;
    moving([&] { act(Remembered::stow, *subject); });
    if (subject->kind == StageItem::Kind::app)
      activation_->restoreUse(subject->id, useBeforeShield_);
    lastBecause_.set(subject->name + " is hidden again, where it was.");
    return;
  }

  std::vector<StageItem> tabs;
  for (const auto& item : copy.stowed) {
    if (item.parentId == subject->id) tabs.push_back(item);
  }
  moveItems(*subject, tabs, copy.stowed, copy.kept);
  if (!apply(copy)) return;
  passed_.insert(subject->id);
  moving([&] { surface_->activate(activationTarget(*subject)); });
  lastBecause_.set(subject->name + " is back on your screen. The rest is still hidden.");
}

std::string MacNowModel::activationTarget(const StageItem& item) {
  if (item.kind == StageItem::Kind::window) {
    if (auto kind = item.browserKind()) return bundleId(*kind);
  }
  return item.id;
}

std::vector<StageItem> MacNowModel::evidence(const StageItem& item,
                                             const std::vector<StageItem>& items) {
  std::vector<StageItem> tabs;
  if (item.kind != StageItem::Kind::window) return tabs;
  for (const auto& candidate : items) {
    if (candidate.parentId == item.id) tabs.push_back(candidate);
  }
  return tabs;
}

bool MacNowModel::act(Remembered choice, const StageItem& item) {
  const bool keep = choice == Remembered::keep;
  switch (item.kind) {
    case StageItem::Kind::app:
      if (keep) return unhideApps({item.id}).empty();
      (void)surface_->hide(item.id);
      break;
    case StageItem::Kind::window: {
      auto kind = item.browserKind();
      auto number = windowNumber(item.id);
      if (!kind || !number) break;
      // One window, on the main thread: the lane's time limits bound the wait.
      if (keep) return static_cast<bool>(browsers_->restore({*number}, *kind));
      (void)browsers_->minimize({*number}, *kind);
      break;
    }
    case StageItem::Kind::tab:
      break;
  }
  return true;
}

bool MacNowModel::focusTab(const StageItem& tab) {
  const auto kind = tab.browserKind();
  const auto window = tab.parentId ? windowNumber(*tab.parentId) : std::nullopt;
  // A tab item's id ends in its place in the window, from 0 ("chrome:4711#2").
  const auto position = numberAfter<int>(tab.id, '#');
  if (!kind || !window || !position || *position < 0) return false;
  return static_cast<bool>(browsers_->focus(*window, *position + 1, *kind));
}

void MacNowModel::keepAnyway(StageItem item) {
  assertMain();
  if (!openStage_.get() || !contains(openStage_.get()->stowed, item)) return;
  auto copy = *openStage_.get();
  const auto subject = windowHolding(item, copy.stowed);
  moveItems(subject, evidence(subject, copy.stowed), copy.stowed, copy.kept);
  if (!apply(copy)) return;
  bool back = act(Remembered::keep, subject);
  // The tab asked for comes to the front of its window.
  if (back && subject.id != item.id) back = focusTab(item);
  remember(Remembered::keep, item, copy);
  lastBecause_.set(back ? item.name + " stays from now on, because you said so."
                        : StageWords::notBack({item.name}));
}

void MacNowModel::stowAlso(StageItem item) {
  assertMain();
  if (!openStage_.get() || !contains(openStage_.get()->kept, item)) return;
  auto copy = *openStage_.get();
  const auto subject = windowHolding(item, copy.kept);
  moveItems(subject, evidence(subject, copy.kept), copy.kept, copy.stowed);
  if (!apply(copy)) return;
  act(Remembered::stow, subject);
  remember(Remembered::stow, item, copy);
  lastBecause_.set("I will hide " + item.name + " from now on, because you said so.");
}

void MacNowModel::remember(Remembered choice, const StageItem& item, const StageSnapshot& stage) {
  switch (item.kind) {
    case StageItem::Kind::app:
      memory_->remember(choice, item.id);
      break;
    case StageItem::Kind::window:
      for (const auto* list : {&stage.stowed, &stage.kept}) {
        for (const auto& tab : *list) {
          if (tab.parentId != item.id || !tab.url) continue;
          const auto host = TabFacts{"", *tab.url, false}.host();
          if (host.empty()) continue;
          memory_->remember(choice, StageMemory::hostKey(host));
          return;
        }
      }
      break;
    case StageItem::Kind::tab:
      // A tab named on its own speaks for its own site.
      if (const auto host = TabFacts{"", item.url.value_or(""), false}.host(); !host.empty()) {
        memory_->remember(choice, StageMemory::hostKey(host));
      }
      break;
  }
}

void MacNowModel::observe(const StageSnapshot& stage) {
  std::set<std::string> stowable;
  for (const auto& app : surface_->runningApps()) {
    if (app.canHide) stowable.insert(app.bundleId);
  }
  auto observation = ObservationLog::observe(
      stage, [&](const std::string& id) { return wasReachedFor(id, stage); }, stowable,
      memory_->choices());
  if (observation.isEmpty()) {
    pendingQuestion_.set(std::nullopt);
  } else {
    pendingQuestion_.set(std::move(observation));
  }
}

bool MacNowModel::wasReachedFor(const std::string& bundleId, const StageSnapshot& stage) const {
  auto takenAt = ISOTime::parse(stage.takenAt);
  if (!takenAt) return true;
  auto sinceUse = activation_->secondsSinceLastUse(bundleId);
  if (!sinceUse) return false;
  return secondsBetween(*takenAt, clock_->now()) >= *sinceUse;
}

void MacNowModel::answerQuestion(bool yes) {
  assertMain();
  if (yes && pendingQuestion_.get()) {
    const auto question = *pendingQuestion_.get();
    for (const auto& item : question.putAwayNextTime) memory_->remember(Remembered::stow, item.id);
    for (const auto& item : question.keepNextTime) memory_->remember(Remembered::keep, item.id);
  }
  pendingQuestion_.set(std::nullopt);
}

}  // namespace tervane
