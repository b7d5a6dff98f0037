// Browsers without their companions on a desktop that lists and moves their windows for
// other programs (KWin's scripts, sway's IPC): seen and moved by those windows, the way
// the X11 desktop does it. A browser runs while the desktop shows a window of it; each
// window reads as one tab (`WindowLevelBrowser`).
//
// The lanes call from their own threads: a `BrowserWindowList` is safe to call from any
// thread. Each script reads one listing of the windows, taken at its first read after
// `connect()`; its acts change that listing as the desktop reads them back.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/BrowserRegistry.h"
#include "script/WindowLevelBrowser.h"
#include "stage/BrowserKind.h"
#include "surfaces/AutomationPermission.h"

namespace tervane::x11 {

struct ListedBrowserWindow {
  std::string key;      // the desktop's own name for the window
  std::int64_t id = 0;  // a positive number, the same while the desktop runs
  std::string app;      // the browser's application identifier
  std::string title;
  bool minimized = false;
};

class BrowserWindowList {
 public:
  virtual ~BrowserWindowList() = default;
  // The desktop's name, as the person reads it in an error.
  virtual std::string desktopName() const = 0;
  // Every browser window, front to back; none when the desktop does not answer.
  virtual std::optional<std::vector<ListedBrowserWindow>> list() = 0;
  // Puts the window away or brings it back; true once the desktop reads it back so.
  virtual bool setMinimized(const std::string& key, bool minimized) = 0;
  // Puts the window on top of the others; true once the desktop has it there.
  virtual bool raise(const std::string& key) = 0;
};

// The identifiers of the browsers seen by their windows.
std::vector<std::string> listedBrowserIds();

// A browser runs while it has a window; reading it is always allowed.
class ListedBrowserPresence final : public AutomationPermission {
 public:
  explicit ListedBrowserPresence(std::shared_ptr<BrowserWindowList> windows)
      : windows_(std::move(windows)) {}
  std::vector<std::string> runningApplicationIds() override;
  std::optional<int> automationStatus(const std::string& bundleId, bool askUserIfNeeded) override;

 private:
  std::shared_ptr<BrowserWindowList> windows_;
};

class ListedScriptableBrowser final : public WindowLevelBrowser {
 public:
  ListedScriptableBrowser(std::shared_ptr<BrowserWindowList> windows, BrowserKind kind)
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
  Result<std::vector<ListedBrowserWindow>*> listing();
  // The window's place in the listing.
  Result<std::size_t> find(std::int64_t window);

  std::shared_ptr<BrowserWindowList> windows_;
  BrowserKind kind_;
  std::mutex mutex_;
  std::optional<std::vector<ListedBrowserWindow>> listing_;
};

class ListedBrowserLookup final : public BrowserLookup {
 public:
  explicit ListedBrowserLookup(std::shared_ptr<BrowserWindowList> windows)
      : windows_(std::move(windows)) {}
  // The browser of that application name while it has a window; null otherwise.
  std::shared_ptr<ScriptableBrowser> browserNamed(std::string_view appName) override;

 private:
  std::shared_ptr<BrowserWindowList> windows_;
  std::mutex mutex_;
  std::map<BrowserKind, std::shared_ptr<ListedScriptableBrowser>> browsers_;
};

}  // namespace tervane::x11
