// Kills the application at a random moment of a stage, round after round, and checks that
// nothing is lost: after a restart and Show everything every application's windows are as
// the person left them before the stage (minimized only if they had minimized them), the
// journal is absent or decodes, and no temporary file is left. The desktop is the caller's
// (X11 or KWin); the rounds drive the application through its command line, as a person's
// scripts would.
//
//   TERVANE_CRASH_ROUNDS=200 TERVANE_CRASH_SEED=7 <test program> --gtest_filter='*Crash*'
#pragma once

#include <functional>
#include <set>
#include <string>

#include "support/AppUnderTest.h"

namespace tervane::testing {

struct CrashDesktop {
  // The applications on the desktop, by the ids the stage gives them; the first is in
  // front when each round starts.
  std::vector<std::string> apps;
  // Those the person minimized before any stage.
  std::set<std::string> minimizedByPerson;
  // Brings an application forward as the person would; `sync` waits until it is.
  std::function<void(const std::string& app, bool sync)> activate;
  // True once the application's windows are minimized (or not), within a bound.
  std::function<bool(const std::string& app, bool minimized)> waitMinimized;
};

// Runs TERVANE_CRASH_ROUNDS rounds (30 unless set) from TERVANE_CRASH_SEED (the process
// id unless set), stopping at the first failure.
void runCrashRounds(AppUnderTest& app, const CrashDesktop& desktop);

}  // namespace tervane::testing
