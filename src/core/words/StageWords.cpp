#include "words/StageWords.h"

#include <vector>

#include "base/Text.h"

namespace tervane::StageWords {
namespace {

constexpr std::size_t kLongestLine = 28;

// "A", "A and B", "A, B and C".
std::string listed(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list += i + 1 == names.size() ? " and " : ", ";
    list += names[i];
  }
  return list;
}

}  // namespace

std::string seesWindowsOnly(const std::vector<BrowserKind>& browsers) {
  std::vector<std::string> names;
  for (const auto browser : browsers) names.push_back(displayName(browser));
  const bool one = browsers.size() == 1;
  return "I see only the windows of " + listed(names) + ", not " + (one ? "its" : "their") +
         " tabs. To show me the tabs, add the Tervane Now companion: run tervane-now browsers "
         "install and follow what it says.";
}

std::string whatIDid(const StageSnapshot& stage) {
  std::vector<const StageItem*> apps;
  std::size_t windows = 0;
  for (const auto& item : stage.stowed) {
    if (item.kind == StageItem::Kind::app) apps.push_back(&item);
    if (item.kind == StageItem::Kind::window) ++windows;
  }
  if (apps.empty() && windows == 0) return "Your screen was already clear, so I hid nothing.";

  std::vector<std::string> clauses;
  if (apps.size() == 1) clauses.push_back("hid " + apps.front()->name);
  if (apps.size() >= 2) clauses.push_back("hid " + std::to_string(apps.size()) + " apps");
  if (windows == 1) clauses.push_back("minimized 1 browser window");
  if (windows >= 2) clauses.push_back("minimized " + std::to_string(windows) + " browser windows");

  std::string sentence = "I ";
  for (std::size_t i = 0; i < clauses.size(); ++i) {
    if (i > 0) sentence += " and ";
    sentence += clauses[i];
  }
  return sentence + ".";
}

std::string paused(int minutes) {
  if (minutes < 1) return "Paused. Your apps are still hidden.";
  return "Paused for " + std::to_string(minutes) + " minute" + (minutes == 1 ? "" : "s") +
         ". Your apps are still hidden.";
}

std::string shortened(std::string_view line) {
  std::string text = Text::trimmed(line);
  if (Text::characterCount(text) > kLongestLine)
    text = Text::prefix(text, kLongestLine - 1) + "\u2026";
  return text;
}

std::string finished(std::string_view line) {
  const std::string text = shortened(line);
  if (text.empty()) return "Finished this one";
  return "Finished: " + text;
}

std::string notBack(const std::vector<std::string>& names) {
  if (names.empty()) return "";
  return listed(names) + " did not come back when asked. Show everything tries again.";
}

std::string finishedAndUndone(std::string_view line) {
  const std::string text = shortened(line);
  if (text.empty()) return "Finished. Your apps are back.";
  return "Finished: " + text + ". Your apps are back.";
}

}  // namespace tervane::StageWords
