// Browsers on sway without their companions: their windows as sway's tree has them, on a
// connection of their own (the lanes call from their own threads), front to back by when
// each last had the focus. Sway has no minimizing: a window is put away in the scratchpad
// as an application's are (`x11::Scratchpad`). A window's id is its container's, the same
// while sway runs.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "linux/ListedBrowsers.h"
#include "linux/Scratchpad.h"

namespace tervane::sway {

// The windows of `tree` (a reply to GET_TREE) by container, the most recently focused
// first, as each container's focus list orders its children.
std::vector<std::int64_t> focusOrder(const nlohmann::json& tree);

class SwayBrowserWindows final : public x11::BrowserWindowList {
 public:
  SwayBrowserWindows(std::string socketPath, std::string ownCriteria)
      : socketPath_(std::move(socketPath)), ownCriteria_(std::move(ownCriteria)) {}

  std::string desktopName() const override { return "sway"; }
  std::optional<std::vector<x11::ListedBrowserWindow>> list() override;
  bool setMinimized(const std::string& key, bool minimized) override;
  bool raise(const std::string& key) override;

 private:
  // The connection, opened at first use; null when sway does not answer.
  x11::Scratchpad* scratchpad();

  std::mutex mutex_;
  std::string socketPath_;
  std::string ownCriteria_;
  std::unique_ptr<x11::Scratchpad> scratchpad_;
};

}  // namespace tervane::sway
