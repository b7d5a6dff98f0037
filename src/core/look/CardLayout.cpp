#include "look/CardLayout.h"

#include <algorithm>
#include <map>

#include "base/Text.h"

namespace tervane {
namespace Receipt {

double receiptHeight(const StageSnapshot& snapshot) {
  const auto notTab = [](const StageItem& item) { return item.kind != StageItem::Kind::tab; };
  const auto events = static_cast<int>(snapshot.events().size());
  const auto rowCount =
      static_cast<int>(std::count_if(snapshot.kept.begin(), snapshot.kept.end(), notTab) +
                       std::count_if(snapshot.stowed.begin(), snapshot.stowed.end(), notTab)) +
      events;
  const int sections = (snapshot.kept.empty() ? 0 : 1) + (snapshot.stowed.empty() ? 0 : 1);

  double height = rowCount * kRowHeight;
  if (events == 0) {
    height += sections * kSectionHeaderHeight + std::max(sections - 1, 0) * kSectionGap;
  } else {
    // The guard section brings its own header and the gap above it.
    height += (sections + 1) * kSectionHeaderHeight + sections * kSectionGap;
  }
  return std::min(height, kMaxHeight);
}

std::vector<Row> rows(const std::vector<StageItem>& sectionItems) {
  std::vector<Row> result;
  for (const auto& item : sectionItems) {
    if (item.kind == StageItem::Kind::app) result.push_back(Row{item, {}});
  }
  for (const auto& item : sectionItems) {
    if (item.kind != StageItem::Kind::window) continue;
    Row row{item, {}};
    for (const auto& tab : sectionItems) {
      if (tab.kind == StageItem::Kind::tab && tab.parentId == item.id) row.tabs.push_back(tab);
    }
    result.push_back(std::move(row));
  }
  return result;
}

std::string HostCount::label() const {
  return count >= 2 ? key + "  " + std::to_string(count) : key;
}

std::vector<HostCount> byHost(const std::vector<StageItem>& tabs) {
  std::map<std::string, int> counts;
  for (const auto& tab : tabs) {
    std::string host = TabFacts{"", tab.url.value_or(""), false}.host();
    ++counts[host.empty() ? tab.name : host];
  }
  std::vector<HostCount> result;
  for (const auto& [key, count] : counts) result.push_back(HostCount{key, count});
  // The map already gives ascending keys; a stable sort by count keeps them for ties.
  std::stable_sort(result.begin(), result.end(),
                   [](const HostCount& a, const HostCount& b) { return a.count > b.count; });
  return result;
}

}  // namespace Receipt

namespace LineLimit {

std::string cut(std::string_view text) {
  if (Text::characterCount(text) <= kMaxCharacters) return std::string(text);
  return Text::prefix(text, kMaxCharacters);
}

std::optional<std::string> counter(std::string_view text) {
  const auto count = Text::characterCount(text);
  if (count < kCounterFrom) return std::nullopt;
  return std::to_string(count) + "/" + std::to_string(kMaxCharacters);
}

}  // namespace LineLimit
}  // namespace tervane
