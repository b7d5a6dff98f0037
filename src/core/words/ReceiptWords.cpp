#include "words/ReceiptWords.h"

namespace tervane::ReceiptWords {
namespace {

std::string counted(long long count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::string summary(const std::vector<StageItem>& items) {
  long long apps = 0;
  long long windows = 0;
  long long tabs = 0;
  for (const auto& item : items) {
    if (item.kind == StageItem::Kind::app) ++apps;
    if (item.kind == StageItem::Kind::window) {
      ++windows;
      tabs += item.tabCount.value_or(0);
    }
  }
  std::vector<std::string> clauses;
  if (apps > 0) clauses.push_back(counted(apps, "app"));
  if (windows > 0) clauses.push_back(counted(windows, "window"));
  if (windows > 0 && tabs >= 1) clauses.push_back(counted(tabs, "tab"));

  std::string text;
  for (const auto& clause : clauses) {
    if (!text.empty()) text += ", ";
    text += clause;
  }
  return text;
}

}  // namespace tervane::ReceiptWords
