// Reads and moves the browsers' windows by sending script texts through a script
// runner, after asking the permission check whether this application may control the
// browser. Holds no mutable state; may be used from any thread.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "surfaces/AppleScripting.h"
#include "surfaces/BrowserAdapters.h"
#include "surfaces/BrowserPermission.h"
#include "surfaces/BrowserSurfacing.h"

namespace tervane {

class BrowserSurface final : public BrowserSurfacing {
 public:
  BrowserSurface(std::shared_ptr<AppleScripting> runner,
                 std::shared_ptr<const BrowserPermission> permission);

  std::vector<BrowserKind> runningBrowsers() override;
  BrowserAuthorization authorization(BrowserKind kind) override;
  BrowserAuthorization requestConsent(BrowserKind kind) override;

  // Not allowed: denied and needsConsent give notPermitted, notRunning and busy pass as
  // themselves, unknown(n) gives failed(n, "authorization unknown").
  AppleScriptResult<std::vector<WindowFacts>> windows(BrowserKind kind) override;
  // An empty id list sends nothing and gives 0. Anything but allowed gives notPermitted.
  AppleScriptResult<int> minimize(const std::vector<std::int64_t>& windowIds,
                                  BrowserKind kind) override;
  AppleScriptResult<int> restore(const std::vector<std::int64_t>& windowIds,
                                 BrowserKind kind) override;
  // Anything but allowed gives notPermitted; the reply is ignored.
  AppleScriptStatus focus(std::int64_t windowId, int tabIndex, BrowserKind kind) override;

  // Answers `seesWindowsOnly`; set once, before the surface is used, by a desktop whose
  // scriptable browsers may lack their tabs.
  void setWindowsOnly(std::function<bool(BrowserKind)> windowsOnly) {
    windowsOnly_ = std::move(windowsOnly);
  }
  bool seesWindowsOnly(BrowserKind kind) override { return windowsOnly_ && windowsOnly_(kind); }

  // The adapter of a kind, for callers that send its scripts through the runner themselves.
  const BrowserAdapter* adapter(BrowserKind kind) const;

 private:
  AppleScriptResult<int> setMinimized(bool minimized, const std::vector<std::int64_t>& windowIds,
                                      BrowserKind kind);

  std::shared_ptr<AppleScripting> runner_;
  std::shared_ptr<const BrowserPermission> permission_;
  std::map<BrowserKind, std::unique_ptr<BrowserAdapter>> adapters_;
  std::function<bool(BrowserKind)> windowsOnly_;
};

}  // namespace tervane
