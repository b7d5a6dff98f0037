// A browser made of data, for tests, the demo desktop and the diagnostic tool. Its state is
// the JSON form used by fixtures:
//
//   {"windows":[{"id":11,"minimized":false,"visible":true,"activeTabIndex":1,
//                "tabs":[{"title":"Inbox","url":"https://mail.example.com/"}]}]}
//
// Windows are listed front to back. `activeTabIndex` counts from 1; 0 means the active tab
// cannot be read; when left out it is 1 for a window with tabs. `minimized` defaults to
// false, `visible` to true. A tab without "url" (or with null) is one whose URL cannot be
// read. The same state serves both dictionaries: a Safari window's "miniaturized" is its
// `minimized`, a Safari tab's "name" is its `title`.
//
// Besides answering, it can stand for a misbehaving browser: hold every answer until the
// test releases it (a hung browser), take a real time to accept each script (for the tool),
// drop a window after a number of calls, or fail every call with a given error number.
// All of it is thread-safe: scripts run on lane threads while tests look on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "script/ScriptableBrowser.h"

namespace tervane {

struct SimulatedTab {
  std::string title;
  std::optional<std::string> url;
  friend bool operator==(const SimulatedTab&, const SimulatedTab&) = default;
};

struct SimulatedWindow {
  std::int64_t id = 0;
  bool minimized = false;
  bool visible = true;
  int activeTabIndex = 0;
  std::vector<SimulatedTab> tabs;
  friend bool operator==(const SimulatedWindow&, const SimulatedWindow&) = default;
};

struct SimulatedState {
  std::vector<SimulatedWindow> windows;  // front to back

  // A state of the wrong shape gives an error naming the offending window and field.
  [[nodiscard]] static Result<SimulatedState> fromJson(const nlohmann::json& json);
  [[nodiscard]] static Result<SimulatedState> parse(std::string_view text);
  // Every field written out, defaults included.
  nlohmann::json toJson() const;

  friend bool operator==(const SimulatedState&, const SimulatedState&) = default;
};

class SimulatedBrowser final : public ScriptableBrowser {
 public:
  SimulatedBrowser(ScriptDictionary dictionary, SimulatedState state);
  ~SimulatedBrowser() override;
  SimulatedBrowser(const SimulatedBrowser&) = delete;
  SimulatedBrowser& operator=(const SimulatedBrowser&) = delete;

  SimulatedState state() const;
  nlohmann::json stateJson() const;
  void setState(SimulatedState state);
  // Calls answered so far, `connect` included.
  int calls() const;

  // While held, every call waits before answering; `release` lets them all go.
  void hold();
  void release();
  // Blocks until `count` calls are waiting on the hold or the connect delay.
  void awaitHeldCalls(int count) const;
  // Each script waits this long in `connect` before the first answer; `release` cuts the
  // wait short.
  void setConnectDelay(std::chrono::milliseconds delay);

  // The window disappears once `afterCalls` more calls have been answered (0: before the
  // next one). False when there is no such window now.
  bool dropWindow(std::int64_t windowId, int afterCalls = 0);
  // Every call from the `afterCalls`-th next one on fails with this number until
  // `stopFailing`. An empty message lets the engine word it.
  void failWith(int number, std::string message = {}, int afterCalls = 0);
  void stopFailing();

  ScriptDictionary dictionary() const override { return dictionary_; }
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
  struct PendingDrop {
    std::int64_t windowId;
    int afterCalls;
  };
  struct Failure {
    int number;
    std::string message;
    int afterCalls;
  };

  // Waits out a hold, applies scheduled drops and failures, and counts the call. Returns
  // the failure to answer with, if any. Called with the lock held.
  std::optional<Error> begin(std::unique_lock<std::mutex>& lock);
  // The window with this id, or null. Called with the lock held.
  SimulatedWindow* find(std::int64_t id);
  const SimulatedTab* findTab(std::int64_t window, int index);

  const ScriptDictionary dictionary_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  SimulatedState state_;
  std::size_t lastFound_ = 0;
  int calls_ = 0;
  bool held_ = false;
  int waiting_ = 0;
  std::uint64_t releases_ = 0;
  std::chrono::milliseconds connectDelay_{0};
  std::vector<PendingDrop> drops_;
  std::optional<Failure> failure_;
};

}  // namespace tervane
