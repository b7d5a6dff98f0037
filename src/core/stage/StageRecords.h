// The value records of a stage: what it keeps and puts away (`StageItem`), the stage
// itself as held in memory and journalled (`StageSnapshot`, `GuardEvent`, `ResumeMark`),
// and what the planner is told (`AppFacts`, `WindowFacts`, `TabFacts`, `SeedRule`).
// Persistent records encode to JSON objects keyed by their field names; absent optional
// fields are left out.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Clock.h"
#include "stage/BrowserKind.h"

namespace tervane {

struct TabFacts {
  std::string title;
  std::string url;
  bool isActive = false;

  // The lower-cased web host without a leading "www.", or "" for anything but http(s).
  std::string host() const;
  // The trimmed title, else the host, else the URL as it is.
  std::string readableName() const;

  friend bool operator==(const TabFacts&, const TabFacts&) = default;
};

struct WindowFacts {
  BrowserKind browser = BrowserKind::chrome;
  std::int64_t windowId = 0;
  std::vector<TabFacts> tabs;
  bool isFrontmost = false;
  bool isMinimized = false;

  std::string stageId() const;                // "chrome:4711"
  std::string readableName() const;           // "Chrome window, 3 tabs"
  std::set<std::string> hosts() const;        // non-empty tab hosts
  std::optional<TabFacts> activeTab() const;  // the current tab, else the first

  friend bool operator==(const WindowFacts&, const WindowFacts&) = default;
};

struct StageItem {
  enum class Kind { app, tab, window };

  std::string id;
  Kind kind = Kind::app;
  std::string name;
  std::optional<std::string> url;
  std::optional<std::string> browser;
  std::optional<std::string> parentId;
  std::optional<int> tabCount;

  // Apps and windows can be hidden or shown on their own; a tab moves with its window.
  bool isActionable() const { return kind != Kind::tab; }
  std::optional<BrowserKind> browserKind() const;

  static StageItem app(const std::string& bundleId, const std::string& name);
  // The window item followed by one item per tab, in tab order.
  static std::vector<StageItem> forWindow(const WindowFacts& window);

  friend bool operator==(const StageItem&, const StageItem&) = default;
};

std::string rawValue(StageItem::Kind kind);
std::optional<StageItem::Kind> stageItemKindFromRaw(std::string_view raw);

struct GuardEvent {
  std::string itemId;
  std::string name;
  bool letThrough = false;
  std::string at;

  static GuardEvent make(std::string itemId, std::string name, bool letThrough,
                         const Clock& clock);
  // itemId + "@" + at: two answers about one item at different times are two events.
  std::string id() const { return itemId + "@" + at; }

  friend bool operator==(const GuardEvent&, const GuardEvent&) = default;
};

struct ResumeMark {
  std::string bundleId;
  std::string appName;
  std::optional<std::string> browser;
  std::optional<std::int64_t> windowId;
  std::optional<int> tabIndex;  // from 1
  std::optional<std::string> tabUrl;

  std::optional<BrowserKind> browserKind() const;

  friend bool operator==(const ResumeMark&, const ResumeMark&) = default;
};

struct StageSnapshot {
  std::string takenAt;
  std::string actionText;
  std::vector<StageItem> stowed;
  std::vector<StageItem> kept;
  std::optional<std::vector<GuardEvent>> guardEvents;
  std::optional<std::string> parkedAt;
  std::optional<ResumeMark> mark;

  bool isParked() const { return parkedAt.has_value(); }
  std::vector<GuardEvent> events() const { return guardEvents.value_or(std::vector<GuardEvent>{}); }

  friend bool operator==(const StageSnapshot&, const StageSnapshot&) = default;
};

struct AppFacts {
  std::string bundleId;
  std::string name;
  bool isFrontmost = false;
  std::optional<double> secondsSinceLastUse;
  bool canHide = true;

  friend bool operator==(const AppFacts&, const AppFacts&) = default;
};

struct SeedRule {
  double recencyWindow = 1200;  // seconds unused after which an app may go
  double meetingVeto = 1200;    // seconds idle after which nothing goes

  static SeedRule defaultRule() { return SeedRule{}; }
  friend bool operator==(const SeedRule&, const SeedRule&) = default;
};

// JSON coding. Decoders give none for a wrong shape and never throw.
nlohmann::json toJson(const StageItem& item);
nlohmann::json toJson(const GuardEvent& event);
nlohmann::json toJson(const ResumeMark& mark);
nlohmann::json toJson(const StageSnapshot& snapshot);
nlohmann::json toJson(const TabFacts& tab);
nlohmann::json toJson(const WindowFacts& window);

std::optional<StageItem> decodeStageItem(const nlohmann::json& json);
std::optional<GuardEvent> decodeGuardEvent(const nlohmann::json& json);
std::optional<ResumeMark> decodeResumeMark(const nlohmann::json& json);
std::optional<StageSnapshot> decodeStageSnapshot(const nlohmann::json& json);
std::optional<TabFacts> decodeTabFacts(const nlohmann::json& json);
std::optional<WindowFacts> decodeWindowFacts(const nlohmann::json& json);

}  // namespace tervane
