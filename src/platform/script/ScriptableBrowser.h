// The object model of one browser as the script engine sees it: its windows front to back,
// each with an id, a minimized flag, a visibility flag, an active tab and a row of tabs with
// a title and a URL. A backend implements it over real windows (X11) or over a JSON state
// (SimulatedBrowser); the engine decides, from `dictionary()`, under which property names a
// script may read and set these values.
//
// Contract for implementers:
// - Windows are named by the browser's own window id; tabs by their window's id and their
//   position in the window's tab row, counted from 1.
// - Every operation answers a value or an `Error` whose `code` is the script error number
//   the browser answers with (`ScriptErrors` below): `noSuchObject` when the window or tab
//   no longer exists (or, for `activeTabIndex`, when the active tab cannot be read),
//   `notRunning` when the browser's process has gone, or any other number the browser
//   refused with. An empty message is filled in by the engine.
// - The engine calls `connect()` once each time a script addresses the browser, before any
//   other call of that script; it is where a browser that does not answer at all may block.
// - Calls come from a browser's lane thread, one script at a time per browser; an
//   implementation must still be safe to call from several threads at once, because tests
//   and diagnostics inspect it while scripts run. Calls may block as long as the browser
//   takes to answer; the caller bounds the wait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace tervane {

// The two scripting dictionaries: Safari's, and the one the Chromium family shares (and
// Firefox's companion speaks).
enum class ScriptDictionary { safari, chromium };

// The dictionary a browser application speaks, by the name a script addresses it with
// ("Safari", "Google Chrome", "Brave Browser", "Microsoft Edge", "Firefox"); none for
// other names.
std::optional<ScriptDictionary> dictionaryForApp(std::string_view appName);

namespace ScriptErrors {
inline constexpr int noSuchObject = -1728;
inline constexpr int notRunning = -600;
inline constexpr int notPermitted = -1743;
inline constexpr int cannotCoerce = -1700;
inline constexpr int cannotSet = -10006;
inline constexpr int numberTooLarge = -2702;
inline constexpr int variableNotDefined = -2753;
inline constexpr int timedOut = -1712;

inline Error make(int number, std::string message = {}) {
  return Error{std::move(message), number};
}
}  // namespace ScriptErrors

class ScriptableBrowser {
 public:
  virtual ~ScriptableBrowser() = default;

  virtual ScriptDictionary dictionary() const = 0;

  // A script starts talking to the browser. Fails with `notRunning` when it has gone.
  [[nodiscard]] virtual Status connect() = 0;

  // Every window, front to back, visible or not, minimized or not.
  [[nodiscard]] virtual Result<std::vector<std::int64_t>> windowIds() = 0;
  // The window's position front to back, from 1.
  [[nodiscard]] virtual Result<int> windowIndex(std::int64_t window) = 0;
  [[nodiscard]] virtual Result<bool> isMinimized(std::int64_t window) = 0;
  [[nodiscard]] virtual Status setMinimized(std::int64_t window, bool minimized) = 0;
  // Whether the browser shows the window at all. A minimized window still counts as visible;
  // invisible ones are those the browser keeps off screen altogether.
  [[nodiscard]] virtual Result<bool> isVisible(std::int64_t window) = 0;
  // Puts the window first among the browser's windows; does not activate the browser.
  [[nodiscard]] virtual Status bringToFront(std::int64_t window) = 0;

  // The position of the window's active tab, from 1; `noSuchObject` when it cannot be read.
  [[nodiscard]] virtual Result<int> activeTabIndex(std::int64_t window) = 0;
  // Selects the tab at `index`; `noSuchObject` when the window has no such tab.
  [[nodiscard]] virtual Status setActiveTabIndex(std::int64_t window, int index) = 0;
  [[nodiscard]] virtual Result<int> tabCount(std::int64_t window) = 0;
  [[nodiscard]] virtual Result<std::string> tabTitle(std::int64_t window, int index) = 0;
  // `noSuchObject` also when the tab's URL cannot be read (a blank or loading tab).
  [[nodiscard]] virtual Result<std::string> tabUrl(std::int64_t window, int index) = 0;
};

}  // namespace tervane
