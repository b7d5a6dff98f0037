// A Chromium-family browser as the script engine sees it, made of the browser's X11
// windows: every managed normal window of the browser's classes, front to back; a
// window's `id` is its X window id and `minimized` is its iconic state (set by iconifying
// or restoring it, which fails unless the state reads back so). X11 shows nothing inside
// a window, so each window is one tab (`WindowLevelBrowser`). Bringing a window to index 1
// raises it without giving it the focus.
//
// `X11BrowserLookup` hands the engine the browser a script addresses while it runs
// (Safari never runs on X11). Both hold no state of their own beyond the shared
// connection, and are safe to call from the lanes' threads.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "linux/ClientWindows.h"
#include "linux/WindowMover.h"
#include "linux/X11AutomationPermission.h"
#include "linux/XConnection.h"
#include "script/BrowserRegistry.h"
#include "script/WindowLevelBrowser.h"

namespace tervane::x11 {

class X11ScriptableBrowser final : public WindowLevelBrowser {
 public:
  // `kind` is one of the Chromium family. A null `mover` is one with its own connection.
  X11ScriptableBrowser(std::shared_ptr<XConnection> connection, BrowserKind kind,
                       std::shared_ptr<WindowMover> mover = nullptr);

  Status connect() override;
  Result<std::vector<std::int64_t>> windowIds() override;
  Result<int> windowIndex(std::int64_t window) override;
  Result<bool> isMinimized(std::int64_t window) override;
  Status setMinimized(std::int64_t window, bool minimized) override;
  Status bringToFront(std::int64_t window) override;

 protected:
  Result<std::string> titleOf(std::int64_t window) override;

 private:
  bool isBrowserWindow(const ClientWindow& window) const;
  // The browser's windows, front to back.
  std::vector<ClientWindow> windows(bool withTitles);
  // The window, when it is still one of the browser's managed windows.
  Result<ClientWindow> window(std::int64_t id, bool withTitle = false);

  std::shared_ptr<XConnection> connection_;
  std::shared_ptr<WindowMover> mover_;
  BrowserKind kind_;
};

class X11BrowserLookup final : public BrowserLookup {
 public:
  X11BrowserLookup(std::shared_ptr<XConnection> connection,
                   std::shared_ptr<X11AutomationPermission> presence,
                   std::shared_ptr<WindowMover> mover = nullptr);

  // The Chromium-family browser of that application name while it runs; null otherwise.
  std::shared_ptr<ScriptableBrowser> browserNamed(std::string_view appName) override;

 private:
  std::shared_ptr<XConnection> connection_;
  std::shared_ptr<X11AutomationPermission> presence_;
  std::shared_ptr<WindowMover> mover_;
  std::mutex mutex_;
  std::map<BrowserKind, std::shared_ptr<X11ScriptableBrowser>> browsers_;
};

}  // namespace tervane::x11
