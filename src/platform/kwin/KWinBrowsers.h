// Browsers on a KDE Plasma Wayland desktop without their companions: seen and moved by
// their windows, as KWin has them, the way the X11 desktop does it. A browser runs while
// KWin shows a window of it; each window reads as one tab (`WindowLevelBrowser`).
//
// The lanes call from their own threads, so these talk to KWin over a connection of
// their own (`KWinBus` is one thread's at a time), opened at first use and shared by the
// lanes under a lock. A window's id is a number taken from KWin's internal id, which
// stays the same while KWin runs, so a stage recovered after a crash still finds its
// windows. Each script reads one listing of the windows, taken at its first read after
// `connect()`; its acts change that listing as KWin reads them back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kwin/KWinBus.h"
#include "script/BrowserRegistry.h"
#include "script/WindowLevelBrowser.h"
#include "stage/BrowserKind.h"
#include "surfaces/AutomationPermission.h"

namespace tervane::kwin {

struct KWinBrowserWindow {
  std::string uuid;  // KWin's internal id
  std::int64_t id = 0;
  std::string app;  // the browser's application identifier
  std::string title;
  bool minimized = false;

  // A positive 31-bit number from KWin's internal id.
  static std::int64_t idFor(const std::string& uuid);
};

class KWinBrowserWindows {
 public:
  explicit KWinBrowserWindows(std::filesystem::path scriptFolder)
      : scriptFolder_(std::move(scriptFolder)) {}

  // Every browser window, front to back; none when KWin does not answer.
  std::optional<std::vector<KWinBrowserWindow>> list();
  // Minimizes or restores the window; true once KWin reads it back so.
  bool setMinimized(const std::string& uuid, bool minimized);
  // Puts the window on top of the others; true once KWin has it there.
  bool raise(const std::string& uuid);

 private:
  std::optional<nlohmann::json> run(const std::string& body);

  std::mutex mutex_;
  std::filesystem::path scriptFolder_;
  std::shared_ptr<KWinBus> bus_;
};

// A browser runs while it has a window; reading it is always allowed.
class KWinBrowserPresence final : public AutomationPermission {
 public:
  explicit KWinBrowserPresence(std::shared_ptr<KWinBrowserWindows> windows)
      : windows_(std::move(windows)) {}
  std::vector<std::string> runningApplicationIds() override;
  std::optional<int> automationStatus(const std::string& bundleId, bool askUserIfNeeded) override;

 private:
  std::shared_ptr<KWinBrowserWindows> windows_;
};

class KWinScriptableBrowser final : public WindowLevelBrowser {
 public:
  KWinScriptableBrowser(std::shared_ptr<KWinBrowserWindows> windows, BrowserKind kind)
      : windows_(std::move(windows)), kind_(kind) {}

  Status connect() override;
  Result<std::vector<std::int64_t>> windowIds() override;
  Result<int> windowIndex(std::int64_t window) override;
  Result<bool> isMinimized(std::int64_t window) override;
  Status setMinimized(std::int64_t window, bool minimized) override;
  Status bringToFront(std::int64_t window) override;

 protected:
  Result<std::string> titleOf(std::int64_t window) override;

 private:
  // The listing of this script, read now when there is none.
  Result<std::vector<KWinBrowserWindow>*> listing();
  // The window of the listing, and its place in it.
  Result<std::size_t> find(std::int64_t window);

  std::shared_ptr<KWinBrowserWindows> windows_;
  BrowserKind kind_;
  std::mutex mutex_;
  std::optional<std::vector<KWinBrowserWindow>> listing_;
};

class KWinBrowserLookup final : public BrowserLookup {
 public:
  explicit KWinBrowserLookup(std::shared_ptr<KWinBrowserWindows> windows)
      : windows_(std::move(windows)) {}
  // The browser of that application name while it has a window; null otherwise.
  std::shared_ptr<ScriptableBrowser> browserNamed(std::string_view appName) override;

 private:
  std::shared_ptr<KWinBrowserWindows> windows_;
  std::mutex mutex_;
  std::map<BrowserKind, std::shared_ptr<KWinScriptableBrowser>> browsers_;
};

}  // namespace tervane::kwin
