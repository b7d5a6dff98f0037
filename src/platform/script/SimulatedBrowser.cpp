#include "script/SimulatedBrowser.h"

#include <algorithm>
#include <set>

namespace tervane {
namespace {

using json = nlohmann::json;

struct StateError {
  std::string message;
};

[[noreturn]] void bad(const std::string& where, const std::string& what) {
  throw StateError{where + ": " + what};
}

void onlyKeys(const json& object, const std::string& where, std::set<std::string> allowed) {
  for (const auto& [key, value] : object.items()) {
    if (!allowed.contains(key)) bad(where, "unknown field \"" + key + "\"");
  }
}

bool optionalBool(const json& object, const char* key, bool fallback, const std::string& where) {
  auto it = object.find(key);
  if (it == object.end()) return fallback;
  if (!it->is_boolean()) bad(where, std::string("\"") + key + "\" must be true or false");
  return it->get<bool>();
}

SimulatedTab decodeTab(const json& j, const std::string& where) {
  if (!j.is_object()) bad(where, "must be an object");
  onlyKeys(j, where, {"title", "url"});
  SimulatedTab tab;
  auto title = j.find("title");
  if (title == j.end() || !title->is_string()) bad(where, "\"title\" must be a string");
  tab.title = title->get<std::string>();
  auto url = j.find("url");
  if (url != j.end() && !url->is_null()) {
    if (!url->is_string()) bad(where, "\"url\" must be a string or null");
    tab.url = url->get<std::string>();
  }
  return tab;
}

SimulatedWindow decodeWindow(const json& j, const std::string& where) {
  if (!j.is_object()) bad(where, "must be an object");
  onlyKeys(j, where, {"id", "minimized", "visible", "activeTabIndex", "tabs"});
  SimulatedWindow window;
  auto id = j.find("id");
  if (id == j.end() || !id->is_number_integer() ||
      (id->is_number_unsigned() && id->get<std::uint64_t>() > INT64_MAX)) {
    bad(where, "\"id\" must be a whole number");
  }
  window.id = id->get<std::int64_t>();
  const std::string named = where + " (id " + std::to_string(window.id) + ")";
  window.minimized = optionalBool(j, "minimized", false, named);
  window.visible = optionalBool(j, "visible", true, named);
  auto tabs = j.find("tabs");
  if (tabs == j.end() || !tabs->is_array()) bad(named, "\"tabs\" must be a list");
  for (std::size_t i = 0; i < tabs->size(); ++i) {
    window.tabs.push_back(decodeTab((*tabs)[i], named + ", tab " + std::to_string(i + 1)));
  }
  const auto tabCount = static_cast<std::int64_t>(window.tabs.size());
  auto active = j.find("activeTabIndex");
  if (active == j.end()) {
    window.activeTabIndex = tabCount > 0 ? 1 : 0;
  } else {
    if (!active->is_number_integer()) bad(named, "\"activeTabIndex\" must be a whole number");
    const auto index = active->get<std::int64_t>();
    if (index < 0 || index > tabCount) {
      bad(named, "\"activeTabIndex\" " + std::to_string(index) + " is not between 0 and " +
                     std::to_string(tabCount));
    }
    window.activeTabIndex = static_cast<int>(index);
  }
  return window;
}

Error noSuchObject() {
  return ScriptErrors::make(ScriptErrors::noSuchObject);
}

}  // namespace

Result<SimulatedState> SimulatedState::fromJson(const json& j) {
  try {
    if (!j.is_object()) bad("state", "must be an object with \"windows\"");
    onlyKeys(j, "state", {"windows"});
    auto windows = j.find("windows");
    if (windows == j.end() || !windows->is_array()) bad("state", "\"windows\" must be a list");
    SimulatedState state;
    std::set<std::int64_t> ids;
    for (std::size_t i = 0; i < windows->size(); ++i) {
      auto window = decodeWindow((*windows)[i], "window " + std::to_string(i + 1));
      if (!ids.insert(window.id).second) {
        bad("window " + std::to_string(i + 1),
            "id " + std::to_string(window.id) + " is used twice");
      }
      state.windows.push_back(std::move(window));
    }
    return state;
  } catch (const StateError& e) {
    return Error{"invalid browser state: " + e.message, 0};
  } catch (const json::exception& e) {
    return Error{std::string("invalid browser state: ") + e.what(), 0};
  }
}

Result<SimulatedState> SimulatedState::parse(std::string_view text) {
  json j;
  try {
    j = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    return Error{std::string("the browser state is not JSON: ") + e.what(), 0};
  }
  return fromJson(j);
}

json SimulatedState::toJson() const {
  auto windowList = json::array();
  for (const auto& window : windows) {
    auto tabs = json::array();
    for (const auto& tab : window.tabs) {
      json t = {{"title", tab.title}};
      if (tab.url) t["url"] = *tab.url;
      tabs.push_back(std::move(t));
    }
    windowList.push_back({{"id", window.id},
                          {"minimized", window.minimized},
                          {"visible", window.visible},
                          {"activeTabIndex", window.activeTabIndex},
                          {"tabs", std::move(tabs)}});
  }
  return {{"windows", std::move(windowList)}};
}

SimulatedBrowser::SimulatedBrowser(ScriptDictionary dictionary, SimulatedState state)
    : dictionary_(dictionary), state_(std::move(state)) {}

SimulatedBrowser::~SimulatedBrowser() = default;

SimulatedState SimulatedBrowser::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

json SimulatedBrowser::stateJson() const {
  std::lock_guard lock(mutex_);
  return state_.toJson();
}

void SimulatedBrowser::setState(SimulatedState state) {
  std::lock_guard lock(mutex_);
  state_ = std::move(state);
  lastFound_ = 0;
}

int SimulatedBrowser::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void SimulatedBrowser::hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void SimulatedBrowser::release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
    ++releases_;
  }
  changed_.notify_all();
}

void SimulatedBrowser::awaitHeldCalls(int count) const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return waiting_ >= count; });
}

void SimulatedBrowser::setConnectDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  connectDelay_ = delay;
}

bool SimulatedBrowser::dropWindow(std::int64_t windowId, int afterCalls) {
  std::lock_guard lock(mutex_);
  if (!find(windowId)) return false;
  drops_.push_back(PendingDrop{windowId, std::max(afterCalls, 0)});
  return true;
}

void SimulatedBrowser::failWith(int number, std::string message, int afterCalls) {
  std::lock_guard lock(mutex_);
  failure_ = Failure{number, std::move(message), std::max(afterCalls, 0)};
}

void SimulatedBrowser::stopFailing() {
  std::lock_guard lock(mutex_);
  failure_.reset();
}

std::optional<Error> SimulatedBrowser::begin(std::unique_lock<std::mutex>& lock) {
  if (held_) {
    ++waiting_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_; });
    --waiting_;
  }
  ++calls_;
  for (auto it = drops_.begin(); it != drops_.end();) {
    if (it->afterCalls-- > 0) {
      ++it;
      continue;
    }
    auto& windows = state_.windows;
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [&](const SimulatedWindow& w) { return w.id == it->windowId; }),
                  windows.end());
    lastFound_ = 0;
    it = drops_.erase(it);
  }
  if (failure_) {
    if (failure_->afterCalls > 0) {
      --failure_->afterCalls;
    } else {
      return ScriptErrors::make(failure_->number, failure_->message);
    }
  }
  return std::nullopt;
}

SimulatedWindow* SimulatedBrowser::find(std::int64_t id) {
  auto& windows = state_.windows;
  // Scripts ask about one window many times in a row; try the last one found first.
  if (lastFound_ < windows.size() && windows[lastFound_].id == id) return &windows[lastFound_];
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (windows[i].id == id) {
      lastFound_ = i;
      return &windows[i];
    }
  }
  return nullptr;
}

const SimulatedTab* SimulatedBrowser::findTab(std::int64_t window, int index) {
  auto* w = find(window);
  if (!w || index < 1 || index > static_cast<int>(w->tabs.size())) return nullptr;
  return &w->tabs[static_cast<std::size_t>(index - 1)];
}

Status SimulatedBrowser::connect() {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  if (connectDelay_.count() > 0) {
    const auto generation = releases_;
    ++waiting_;
    changed_.notify_all();
    changed_.wait_for(lock, connectDelay_, [&] { return releases_ != generation; });
    --waiting_;
  }
  return success();
}

Result<std::vector<std::int64_t>> SimulatedBrowser::windowIds() {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  std::vector<std::int64_t> ids;
  ids.reserve(state_.windows.size());
  for (const auto& w : state_.windows) ids.push_back(w.id);
  return ids;
}

Result<int> SimulatedBrowser::windowIndex(std::int64_t window) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w) return noSuchObject();
  return static_cast<int>(w - state_.windows.data()) + 1;
}

Result<bool> SimulatedBrowser::isMinimized(std::int64_t window) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w) return noSuchObject();
  return w->minimized;
}

Status SimulatedBrowser::setMinimized(std::int64_t window, bool minimized) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w) return noSuchObject();
  w->minimized = minimized;
  return success();
}

Result<bool> SimulatedBrowser::isVisible(std::int64_t window) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w) return noSuchObject();
  return w->visible;
}

Status SimulatedBrowser::bringToFront(std::int64_t window) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w) return noSuchObject();
  auto& windows = state_.windows;
  const auto at = windows.begin() + (w - windows.data());
  std::rotate(windows.begin(), at, at + 1);
  lastFound_ = 0;
  return success();
}

Result<int> SimulatedBrowser::activeTabIndex(std::int64_t window) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w || w->activeTabIndex < 1) return noSuchObject();
  return w->activeTabIndex;
}

Status SimulatedBrowser::setActiveTabIndex(std::int64_t window, int index) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w || index < 1 || index > static_cast<int>(w->tabs.size())) return noSuchObject();
  w->activeTabIndex = index;
  return success();
}

Result<int> SimulatedBrowser::tabCount(std::int64_t window) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  auto* w = find(window);
  if (!w) return noSuchObject();
  return static_cast<int>(w->tabs.size());
}

Result<std::string> SimulatedBrowser::tabTitle(std::int64_t window, int index) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  const auto* tab = findTab(window, index);
  if (!tab) return noSuchObject();
  return tab->title;
}

Result<std::string> SimulatedBrowser::tabUrl(std::int64_t window, int index) {
  std::unique_lock lock(mutex_);
  if (auto error = begin(lock)) return *std::move(error);
  const auto* tab = findTab(window, index);
  if (!tab || !tab->url) return noSuchObject();
  return *tab->url;
}

}  // namespace tervane
