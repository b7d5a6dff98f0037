// Whole stages through the session model on the live X server: Start puts away what the
// planner stows, Show everything brings every window back as it was, also when the run
// that put them away crashed and the next one recovered the stage from the journal.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "linux/HiddenWindowRecord.h"
#include "linux/X11Platform.h"
#include "session/MacNowModel.h"
#include "support/ManualOffMain.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;
using Spec = XTestDesktop::WindowSpec;

class NoPicker final : public ActPicking {
 public:
  bool isAvailable() override { return false; }
  void prewarm() override {}
  std::optional<std::set<std::string>> pick(const std::string&,
                                            const std::vector<std::string>&) override {
    return std::nullopt;
  }
};

class NoShield final : public ShieldPresenting {
 public:
  void present(const StageItem&, const std::string&, std::function<void(bool)>) override {}
  void dismiss() override {}
  bool isShowing() const override { return false; }
};

// One run of the application: its own connection, platform and model over the shared
// state folder, journal and settings.
struct AppRun {
  AppRun(const XTestDesktop& desktop, const std::filesystem::path& state, MemoryDefaults& standard,
         MemoryDefaults& shared) {
    connection = XConnection::open(desktop.display()).value();
    X11Platform::Options options;
    options.stateFolder = state;
    options.desktopEntryFolders = {};
    options.shield = std::make_shared<NoShield>();
    platform = std::make_shared<X11Platform>(connection, options);
    MacNowModel::Dependencies d;
    d.main = main;
    d.clock = clock;
    d.platform = platform;
    d.standardDefaults = std::shared_ptr<Defaults>(&standard, [](Defaults*) {});
    d.store = std::make_shared<Store>(shared);
    d.journal = std::make_shared<StageJournal>(state);
    d.memory = std::make_shared<StageMemory>(standard);
    d.monitor = platform->guardMonitor();
    d.offMain = offMain;
    d.picker = std::make_shared<NoPicker>();
    model = MacNowModel::make(std::move(d));
  }

  // Background work, its completions and the X events they cause, until nothing is left.
  void settle() {
    do {
      XTestDesktop::settle(*connection);
    } while (offMain->runAll() > 0 || main->drain() > 0);
  }

  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  std::shared_ptr<ManualMainQueue> main = std::make_shared<ManualMainQueue>(*clock);
  std::shared_ptr<testing::ManualOffMain> offMain = std::make_shared<testing::ManualOffMain>();
  std::shared_ptr<XConnection> connection;
  std::shared_ptr<X11Platform> platform;
  std::shared_ptr<MacNowModel> model;
};

std::set<std::string> idsOf(const std::vector<StageItem>& items) {
  std::set<std::string> ids;
  for (const auto& item : items) {
    if (item.kind != StageItem::Kind::tab) ids.insert(item.id);
  }
  return ids;
}

class StageTest : public ::testing::Test {
 protected:
  StageTest() {
    alpha1 = desktop.xterm("Alpha");
    alpha2 = desktop.xterm("Alpha");
    logo = desktop.launchWindow({"xlogo"}, "XLogo");
    docs = desktop.createWindow(Spec::ofClass("Chromium").titled("Docs - Chromium"));
    mail = desktop.createWindow(Spec::ofClass("Chromium").titled("Mail - Chromium"));
    marker = desktop.createWindow(Spec::ofClass("Marker").offTaskbar());
    beta = desktop.xterm("Beta");
    // The person had minimized one window before Start.
    iconify(desktop.x(), alpha2);
    desktop.x().flush();
    if (!desktop.waitIconic(alpha2, true) || !desktop.waitActive(beta)) {
      throw std::runtime_error("the desktop did not settle");
    }
  }

  // Which windows are iconic, once every request `mover` sent so far has been handled:
  // openbox handles a connection's requests in order, so the marker window changing
  // state after them tells when. (The marker is not in front; moving it moves no focus.)
  std::map<xcb_window_t, bool> iconicAfter(XConnection& mover) {
    const bool markerIconic = desktop.isIconic(marker);
    if (markerIconic) {
      restore(mover, marker);
    } else {
      iconify(mover, marker);
    }
    mover.flush();
    if (!desktop.waitIconic(marker, !markerIconic)) throw std::runtime_error("marker stuck");
    std::map<xcb_window_t, bool> state;
    for (xcb_window_t w : {alpha1, alpha2, logo, docs, mail, beta}) state[w] = desktop.isIconic(w);
    return state;
  }

  void expectAsBefore(XConnection& mover) {
    const auto state = iconicAfter(mover);
    for (xcb_window_t w : {alpha1, logo, docs, mail, beta}) EXPECT_FALSE(state.at(w)) << w;
    EXPECT_TRUE(state.at(alpha2)) << "the window the person minimized stays minimized";
  }

  XTestDesktop desktop;
  testing::TempDir dir;
  MemoryDefaults standard;
  MemoryDefaults shared;
  xcb_window_t alpha1 = 0, alpha2 = 0, logo = 0, docs = 0, mail = 0, marker = 0, beta = 0;
};

TEST_F(StageTest, StartPutsAwayWhatThePlannerStowsAndShowEverythingBringsItBack) {
  const auto state = dir / "state";
  {
    AppRun run(desktop, state, standard, shared);
    // The browser was in use a moment ago, so its windows are planned one by one: the
    // front one stays, the other goes.
    run.model->activation().record("com.google.Chrome");
    run.model->capture("write the report");
    run.model->set(SeedRule::defaultRule());
    run.settle();
    ASSERT_TRUE(run.model->openStage());
    const auto stowed = idsOf(run.model->openStage()->stowed);
    EXPECT_TRUE(stowed.count("Alpha") && stowed.count("XLogo")) << ::testing::PrintToString(stowed);
    EXPECT_FALSE(stowed.count("Beta")) << "the frontmost application stays";
    const auto kept = idsOf(run.model->openStage()->kept);
    EXPECT_TRUE(kept.count("Beta"));
    EXPECT_TRUE(stowed.count("chrome:" + std::to_string(docs)));
    EXPECT_TRUE(kept.count("chrome:" + std::to_string(mail)));

    const auto after = iconicAfter(*run.connection);
    EXPECT_TRUE(after.at(alpha1));
    EXPECT_TRUE(after.at(logo));
    EXPECT_FALSE(after.at(beta));
    EXPECT_TRUE(after.at(docs));
    EXPECT_FALSE(after.at(mail));

    run.model->bringBack(true);
    run.settle();
    EXPECT_FALSE(run.model->openStage());
    expectAsBefore(*run.connection);
    EXPECT_EQ(desktop.active(), beta) << "bringing windows back does not take the focus";
    run.settle();
    EXPECT_FALSE(run.model->activation().secondsSinceLastUse("Alpha"))
        << "windows coming back are not the person using their application";
  }
  EXPECT_FALSE(std::filesystem::exists(state / StageJournal::kFileName));

  // A run stages and then dies without bringing anything back.
  std::set<std::string> stowedByCrashedRun;
  {
    AppRun crashed(desktop, state, standard, shared);
    crashed.model->capture("write the report");
    crashed.model->set(SeedRule::defaultRule());
    crashed.settle();
    ASSERT_TRUE(crashed.model->openStage());
    stowedByCrashedRun = idsOf(crashed.model->openStage()->stowed);
    EXPECT_TRUE(iconicAfter(*crashed.connection).at(alpha1));
  }
  ASSERT_TRUE(std::filesystem::exists(state / StageJournal::kFileName));

  // The next run finds the stage in the journal and Show everything restores exactly
  // what the crashed run put away.
  AppRun next(desktop, state, standard, shared);
  next.model->recoverIfNeeded();
  ASSERT_TRUE(next.model->openStage());
  EXPECT_EQ(idsOf(next.model->openStage()->stowed), stowedByCrashedRun);
  next.model->bringBack(true);
  next.settle();
  expectAsBefore(*next.connection);
  EXPECT_FALSE(std::filesystem::exists(state / StageJournal::kFileName));
  EXPECT_TRUE(HiddenWindowRecord(state / HiddenWindowRecord::kFileName).all().empty());
}

}  // namespace
}  // namespace tervane::x11
