// A browser without its companion on a desktop that shows it by its windows (KWin, sway),
// checked the same way on each: with two windows open, titled "first" and then "second",
// the browser goes by its fixed identifier and name, and its windows are read front to back
// (one tab each, titled by the window), raised, put away and brought back, each read back;
// a window closed meanwhile is not counted as back.
#pragma once

#include <functional>

#include "stage/BrowserKind.h"
#include "surfaces/AppSurfacing.h"
#include "surfaces/BrowserSurfacing.h"

namespace tervane::testing {

struct BrowserWindowsDesktop {
  BrowserKind kind;
  AppSurfacing* apps;
  BrowserSurfacing* browsers;
  // Whether the desktop has every window of the browser put away now.
  std::function<bool()> allAway;
  // Closes the window titled "second" and returns once the desktop no longer has it.
  std::function<bool()> closeSecond;
  // Whether windows put away keep their place front to back (KWin's stacking does; sway's
  // scratchpad has an order of its own, and only the order of windows out is checked).
  bool keepsOrderWhileAway = true;
};

void checkBrowserMovedByItsWindows(const BrowserWindowsDesktop& desktop);

}  // namespace tervane::testing
