// The arithmetic of the now card that does not depend on drawing: how tall the receipt's
// scrolling area is, which rows a receipt section has and which tabs sit under each window
// row, how a window's tabs are summed up by web host, and the line editor's length rules.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stage/StageRecords.h"

namespace tervane {

namespace Receipt {
inline constexpr double kRowHeight = 22;
inline constexpr double kSectionHeaderHeight = 27;
inline constexpr double kSectionGap = 22;
inline constexpr double kMaxHeight = 300;

// Height in points of the receipt of a stage. Tabs never count: they are shown inside
// their window's row. Rows beyond the cap scroll.
double receiptHeight(const StageSnapshot& snapshot);

// One row of a receipt section: an app, or a window with the section's tabs whose
// parent is that window. Apps come first, then windows, each in list order; tabs get no
// row of their own.
struct Row {
  StageItem item;
  std::vector<StageItem> tabs;
};
std::vector<Row> rows(const std::vector<StageItem>& sectionItems);

// A window's tabs grouped by web host (the tab's name when it has none), larger groups
// first, equal counts in ascending order of the key.
struct HostCount {
  std::string key;
  int count = 0;

  // "github.com  3"; a host with one tab shows the host alone.
  std::string label() const;
  friend bool operator==(const HostCount&, const HostCount&) = default;
};
std::vector<HostCount> byHost(const std::vector<StageItem>& tabs);
}  // namespace Receipt

// The length rules of the line editor, in user-perceived characters.
namespace LineLimit {
inline constexpr std::size_t kMaxCharacters = 160;
inline constexpr std::size_t kCounterFrom = 96;

// The text as the editor keeps it: cut to its first 160 characters when longer.
std::string cut(std::string_view text);
// "96/160" from the 96th character on; none below.
std::optional<std::string> counter(std::string_view text);
}  // namespace LineLimit

}  // namespace tervane
