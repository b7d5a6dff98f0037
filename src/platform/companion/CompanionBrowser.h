// A browser (of the Chromium family, or Firefox) as the script engine sees it, through
// its companion extension: real windows front to back (in the order they last had the focus), real
// tabs with titles and addresses. Several profiles of one browser are one browser here. A window's
// id is the browser's own (a positive 32-bit number, as script replies carry it), so it stays the
// same across a restart of Tervane Now and the journal of an open stage still finds the window;
// each listing notes which profile holds which window.
//
// Each script reads one listing, taken at its first read after `connect()`; its acts
// change that listing as they succeed, so a script sees its own acts. Every request has
// an upper bound (the lane's limit is shorter and answers first); a companion that goes
// away fails the waiting call with `notRunning` at once.
//
// A window id that no listing holds but the desktop's own view of the browser (its X11
// windows) does is acted on there: a stage read before the companion connected keeps
// the ids of those windows, and Show everything must still bring them back.
//
// `CompanionBrowserLookup` answers with this browser while a companion of that kind is
// connected, and with the desktop's own lookup (X11 windows) otherwise.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "companion/CompanionServer.h"
#include "script/BrowserRegistry.h"
#include "script/ScriptableBrowser.h"

namespace tervane::companion {

struct CompanionWindow {
  std::int64_t id = 0;
  bool minimized = false;
  bool visible = true;
  int activeTab = 0;                                      // from 1; 0 when none is active
  std::vector<std::pair<std::string, std::string>> tabs;  // title, address
};

class CompanionBrowser final : public ScriptableBrowser {
 public:
  static constexpr double kRequestSeconds = 20;

  // `windowsOnly` gives the desktop's own view of this browser, when there is one.
  using WindowsOnly = std::function<std::shared_ptr<ScriptableBrowser>()>;

  CompanionBrowser(std::shared_ptr<const CompanionServer> server, std::vector<std::string> kinds,
                   double requestSeconds = kRequestSeconds, WindowsOnly windowsOnly = {});

  ScriptDictionary dictionary() const override { return ScriptDictionary::chromium; }
  Status connect() override;
  Result<std::vector<std::int64_t>> windowIds() override;
  Result<int> windowIndex(std::int64_t window) override;
  Result<bool> isMinimized(std::int64_t window) override;
  Status setMinimized(std::int64_t window, bool minimized) override;
  Result<bool> isVisible(std::int64_t window) override;
  Status bringToFront(std::int64_t window) override;
  Result<int> activeTabIndex(std::int64_t window) override;
  Status setActiveTabIndex(std::int64_t window, int index) override;
  Result<int> tabCount(std::int64_t window) override;
  Result<std::string> tabTitle(std::int64_t window, int index) override;
  Result<std::string> tabUrl(std::int64_t window, int index) override;

 private:
  // Runs `read` on the window of the current listing, taking the listing first if needed.
  template <class F>
  auto withWindow(std::int64_t id, F read) -> decltype(read(std::declval<CompanionWindow&>()));
  Status ensureListing();
  // The desktop's view when `id` is one of its windows and none of the listing's.
  std::shared_ptr<ScriptableBrowser> elsewhere(std::int64_t id);
  Result<nlohmann::json> ask(std::int64_t window, nlohmann::json request);

  std::shared_ptr<const CompanionServer> server_;
  std::vector<std::string> kinds_;
  double requestSeconds_;
  WindowsOnly windowsOnly_;
  std::recursive_mutex mutex_;
  std::optional<std::vector<CompanionWindow>> listing_;
  std::map<std::int64_t, std::uint32_t> owners_;  // window id to its profile's key
};

class CompanionBrowserLookup final : public BrowserLookup {
 public:
  CompanionBrowserLookup(std::shared_ptr<const CompanionServer> server,
                         std::shared_ptr<BrowserLookup> fallback);
  std::shared_ptr<ScriptableBrowser> browserNamed(std::string_view appName) override;

 private:
  std::shared_ptr<const CompanionServer> server_;
  std::shared_ptr<BrowserLookup> fallback_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<CompanionBrowser>, std::less<>> browsers_;
};

}  // namespace tervane::companion
