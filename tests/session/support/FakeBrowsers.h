// A browser surface for model tests: answers what the test set for each browser and records
// every move asked of it, from any thread.
#pragma once

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <type_traits>
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

  void setRunning(std::vector<BrowserKind> kinds) { locked([&] { running_ = kinds; }); }
  void setAuthorization(BrowserKind kind, BrowserAuthorization a) {
    locked([&] { browsers_[kind].authorization = a; });
  }
  void setWindows(BrowserKind kind, std::vector<WindowFacts> w) {
    locked([&] { browsers_[kind].windows = w; });
  }
  void setWindowsOnly(std::vector<BrowserKind> kinds) { locked([&] { windowsOnly_ = kinds; }); }
  void failReads(BrowserKind kind, AppleScriptError e) {
    locked([&] { browsers_[kind].failure = e; });
  }

  std::vector<Move> moves() const { return locked([&] { return moves_; }); }
  int reads(BrowserKind kind) { return locked([&] { return browsers_[kind].reads; }); }
  int consentRequests() const { return locked([&] { return consentRequests_; }); }
  // The windows as the fake now holds them, after the moves it was asked for.
  std::vector<WindowFacts> windowsNow(BrowserKind kind) {
    return locked([&] { return browsers_[kind].windows; });
  }

  bool seesWindowsOnly(BrowserKind kind) override {
    return locked([&] { return std::count(windowsOnly_.begin(), windowsOnly_.end(), kind) > 0; });
  }
  std::vector<BrowserKind> runningBrowsers() override { return locked([&] { return running_; }); }
  BrowserAuthorization authorization(BrowserKind kind) override {
    return locked([&] { return browsers_[kind].authorization; });
  }
  BrowserAuthorization requestConsent(BrowserKind kind) override {
    return locked([&] {
      ++consentRequests_;
      return browsers_[kind].authorization = BrowserAuthorization::allowed();
    });
  }
  AppleScriptResult<std::vector<WindowFacts>> windows(BrowserKind kind) override {
    std::lock_guard lock(mutex_);
    auto& browser = browsers_[kind];
    ++browser.reads;
    if (browser.failure) return *browser.failure;
    if (!browser.authorization.canRead()) return AppleScriptError::notPermitted();
    return browser.windows;
  }
  AppleScriptResult<int> minimize(const std::vector<std::int64_t>& ids, BrowserKind kind) override {
    return setMinimized(Move::Kind::minimize, true, ids, kind);
  }
  AppleScriptResult<int> restore(const std::vector<std::int64_t>& ids, BrowserKind kind) override {
    return setMinimized(Move::Kind::restore, false, ids, kind);
  }
  AppleScriptStatus focus(std::int64_t windowId, int tabIndex, BrowserKind kind) override {
    std::lock_guard lock(mutex_);
    moves_.push_back(Move{Move::Kind::focus, kind, {windowId}, tabIndex});
    return Done{};
  }

 private:
  struct Browser {
    std::vector<WindowFacts> windows;
    std::optional<AppleScriptError> failure;
    BrowserAuthorization authorization = BrowserAuthorization::allowed();
    int reads = 0;
  };

  template <class F>
  std::invoke_result_t<F&> locked(F f) const {
    std::lock_guard lock(mutex_);
    return f();
  }

  AppleScriptResult<int> setMinimized(Move::Kind move, bool minimized,
                                      const std::vector<std::int64_t>& ids, BrowserKind kind) {
    std::lock_guard lock(mutex_);
    if (!browsers_[kind].authorization.canRead()) return AppleScriptError::notPermitted();
    moves_.push_back(Move{move, kind, ids, 0});
    int count = 0;
    for (auto& w : browsers_[kind].windows) {
      if (std::count(ids.begin(), ids.end(), w.windowId) > 0) {
        w.isMinimized = minimized;
        ++count;
      }
    }
    return count;
  }

  mutable std::mutex mutex_;
  std::vector<BrowserKind> running_;
  std::vector<BrowserKind> windowsOnly_;
  std::map<BrowserKind, Browser> browsers_;
  std::vector<Move> moves_;
  int consentRequests_ = 0;
};

using Move = FakeBrowsers::Move;

}  // namespace tervane::testing
