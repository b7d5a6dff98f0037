// Window and tab items as a browser's stage holds them, and the ids of a list of items.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "stage/StageRecords.h"

namespace tervane::testing {

inline StageItem windowItem(const std::string& id, std::optional<int> tabCount = std::nullopt) {
  StageItem item = StageItem::app(id, "Chrome window");
  item.kind = StageItem::Kind::window;
  item.browser = "chrome";
  item.tabCount = tabCount;
  return item;
}

inline StageItem tabItem(const std::string& parent, const std::string& name,
                         std::optional<std::string> url = std::nullopt) {
  StageItem item = StageItem::app(parent + "#" + name, name);
  item.kind = StageItem::Kind::tab;
  item.url = std::move(url);
  item.parentId = parent;
  return item;
}

inline std::vector<std::string> ids(const std::vector<StageItem>& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(item.id);
  return out;
}

}  // namespace tervane::testing
