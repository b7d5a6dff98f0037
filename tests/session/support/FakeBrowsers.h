// A browser surface for model tests: answers from what the test set, per browser, and
// records every move it was asked for. Safe to call from the lane-free threads the
// off-main runner may use.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "surfaces/BrowserSurfacing.h"

namespace tervane::testing {

class FakeBrowsers final : public BrowserSurfacing {
 public:
  struct Move {
    enum class Kind { minimize, restore, focus } kind;
    BrowserKind browser;
    std::vector<std::int64_t> windowIds;
    int tabIndex = 0;
    friend bool operator==(const Move&, const Move&) = default;
  };

  void setRunning(std::vector<BrowserKind> kinds) {
    std::lock_guard lock(mutex_);
    running_ = std::move(kinds);
  }
  void setAuthorization(BrowserKind kind, BrowserAuthorization a) {
    std::lock_guard lock(mutex_);
    authorization_.insert_or_assign(kind, a);
  }
  void setWindows(BrowserKind kind, std::vector<WindowFacts> windows) {
    std::lock_guard lock(mutex_);
    windows_[kind] = std::move(windows);
    failure_.erase(kind);
  }
  void setWindowsOnly(std::vector<BrowserKind> kinds) {
    std::lock_guard lock(mutex_);
    windowsOnly_ = std::move(kinds);
  }
  bool seesWindowsOnly(BrowserKind kind) override {
    std::lock_guard lock(mutex_);
    return std::find(windowsOnly_.begin(), windowsOnly_.end(), kind) != windowsOnly_.end();
  }
  void failReads(BrowserKind kind, AppleScriptError error) {
    std::lock_guard lock(mutex_);
    failure_.insert_or_assign(kind, error);
  }

  std::vector<Move> moves() const {
    std::lock_guard lock(mutex_);
    return moves_;
  }
  int reads(BrowserKind kind) const {
    std::lock_guard lock(mutex_);
    auto it = reads_.find(kind);
    return it == reads_.end() ? 0 : it->second;
  }
  int consentRequests() const {
    std::lock_guard lock(mutex_);
    return consentRequests_;
  }

  std::vector<BrowserKind> runningBrowsers() override {
    std::lock_guard lock(mutex_);
    return running_;
  }
  BrowserAuthorization authorization(BrowserKind kind) override {
    std::lock_guard lock(mutex_);
    auto it = authorization_.find(kind);
    return it == authorization_.end() ? BrowserAuthorization::allowed() : it->second;
  }
  BrowserAuthorization requestConsent(BrowserKind kind) override {
    std::lock_guard lock(mutex_);
    ++consentRequests_;
    authorization_.insert_or_assign(kind, BrowserAuthorization::allowed());
    return BrowserAuthorization::allowed();
  }
  AppleScriptResult<std::vector<WindowFacts>> windows(BrowserKind kind) override {
    std::lock_guard lock(mutex_);
    ++reads_[kind];
    if (auto it = failure_.find(kind); it != failure_.end()) return it->second;
    if (!isAllowed(kind)) return AppleScriptError::notPermitted();
    auto it = windows_.find(kind);
    return it == windows_.end() ? std::vector<WindowFacts>{} : it->second;
  }
  AppleScriptResult<int> minimize(const std::vector<std::int64_t>& ids, BrowserKind kind) override {
    return setMinimized(Move::Kind::minimize, true, ids, kind);
  }
  AppleScriptResult<int> restore(const std::vector<std::int64_t>& ids, BrowserKind kind) override {
    return setMinimized(Move::Kind::restore, false, ids, kind);
  }
  AppleScriptStatus focus(std::int64_t windowId, int tabIndex, BrowserKind kind) override {
    std::lock_guard lock(mutex_);
    if (!isAllowed(kind)) return AppleScriptError::notPermitted();
    moves_.push_back(Move{Move::Kind::focus, kind, {windowId}, tabIndex});
    return Done{};
  }

  // The windows as the fake now holds them, after the moves it was asked for.
  std::vector<WindowFacts> windowsNow(BrowserKind kind) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(kind);
    return it == windows_.end() ? std::vector<WindowFacts>{} : it->second;
  }

 private:
  bool isAllowed(BrowserKind kind) const {
    auto it = authorization_.find(kind);
    return it == authorization_.end() || it->second.canRead();
  }

  AppleScriptResult<int> setMinimized(Move::Kind move, bool minimized,
                                      const std::vector<std::int64_t>& ids, BrowserKind kind) {
    std::lock_guard lock(mutex_);
    if (ids.empty()) return 0;
    if (!isAllowed(kind)) return AppleScriptError::notPermitted();
    moves_.push_back(Move{move, kind, ids, 0});
    int count = 0;
    for (auto& w : windows_[kind]) {
      if (std::find(ids.begin(), ids.end(), w.windowId) != ids.end()) {
        w.isMinimized = minimized;
        ++count;
      }
    }
    return count;
  }

  mutable std::mutex mutex_;
  std::vector<BrowserKind> running_;
  std::map<BrowserKind, BrowserAuthorization> authorization_;
  std::map<BrowserKind, std::vector<WindowFacts>> windows_;
  std::map<BrowserKind, AppleScriptError> failure_;
  std::map<BrowserKind, int> reads_;
  std::vector<Move> moves_;
  int consentRequests_ = 0;
  std::vector<BrowserKind> windowsOnly_;
};

}  // namespace tervane::testing
