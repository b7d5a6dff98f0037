#include "surfaces/BrowserSurface.h"

namespace tervane {

BrowserSurface::BrowserSurface(std::shared_ptr<AppleScripting> runner,
                               std::shared_ptr<const BrowserPermission> permission)
    : runner_(std::move(runner)), permission_(std::move(permission)) {
  for (auto kind : kAllBrowserKinds) {
    if (kind == BrowserKind::safari) {
      adapters_[kind] = std::make_unique<SafariAdapter>();
    } else {
      adapters_[kind] = std::make_unique<ChromiumAdapter>(kind);
    }
  }
}

std::vector<BrowserKind> BrowserSurface::runningBrowsers() {
  return permission_->presence().running();
}

BrowserAuthorization BrowserSurface::authorization(BrowserKind kind) {
  return permission_->status(kind);
}

BrowserAuthorization BrowserSurface::requestConsent(BrowserKind kind) {
  return permission_->requestConsent(kind);
}

const BrowserAdapter* BrowserSurface::adapter(BrowserKind kind) const {
  auto it = adapters_.find(kind);
  return it == adapters_.end() ? nullptr : it->second.get();
}

AppleScriptResult<std::vector<WindowFacts>> BrowserSurface::windows(BrowserKind kind) {
  const auto* adapter = this->adapter(kind);
  if (adapter == nullptr) return std::vector<WindowFacts>{};
  const auto access = authorization(kind);
  switch (access.type()) {
    case BrowserAuthorization::Type::allowed:
      break;
    case BrowserAuthorization::Type::denied:
    case BrowserAuthorization::Type::needsConsent:
      return AppleScriptError::notPermitted();
    case BrowserAuthorization::Type::notRunning:
      return AppleScriptError::notRunning();
    case BrowserAuthorization::Type::busy:
      return AppleScriptError::busy();
    case BrowserAuthorization::Type::unknown:
      return AppleScriptError::failed(access.status(), "authorization unknown");
  }
  return adapter->readWindows(*runner_);
}

AppleScriptResult<int> BrowserSurface::minimize(const std::vector<std::int64_t>& windowIds,
                                                BrowserKind kind) {
  return setMinimized(true, windowIds, kind);
}

AppleScriptResult<int> BrowserSurface::restore(const std::vector<std::int64_t>& windowIds,
                                               BrowserKind kind) {
  return setMinimized(false, windowIds, kind);
}

AppleScriptResult<int> BrowserSurface::setMinimized(bool minimized,
                                                    const std::vector<std::int64_t>& windowIds,
                                                    BrowserKind kind) {
  const auto* adapter = this->adapter(kind);
  if (windowIds.empty() || adapter == nullptr) return 0;
  if (!authorization(kind).canRead()) return AppleScriptError::notPermitted();
  auto reply = runner_->run(adapter->setMinimizedScript(minimized, windowIds), kind);
  if (!reply) return reply.error();
  return static_cast<int>(reply.value().int32Value());
}

AppleScriptStatus BrowserSurface::focus(std::int64_t windowId, int tabIndex, BrowserKind kind) {
  const auto* adapter = this->adapter(kind);
  if (adapter == nullptr) return Done{};
  if (!authorization(kind).canRead()) return AppleScriptError::notPermitted();
  auto reply = runner_->run(adapter->focusScript(windowId, tabIndex), kind);
  if (!reply) return reply.error();
  return Done{};
}

}  // namespace tervane
