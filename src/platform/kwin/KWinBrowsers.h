// Browsers on a KDE Plasma Wayland desktop without their companions: their windows as
// KWin has them, through one-shot scripts (`x11::ListedBrowsers` makes browsers of them).
//
// The lanes call from their own threads, so this talks to KWin over a connection of its
// own (`KWinBus` is one thread's at a time), opened at first use and shared by the lanes
// under a lock. A window's id is a number taken from KWin's internal id, which stays the
// same while KWin runs, so a stage recovered after a crash still finds its windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kwin/KWinBus.h"
#include "linux/ListedBrowsers.h"

namespace tervane::kwin {

class KWinBrowserWindows final : public x11::BrowserWindowList {
 public:
  explicit KWinBrowserWindows(std::filesystem::path scriptFolder)
      : scriptFolder_(std::move(scriptFolder)) {}

  // A positive 31-bit number from KWin's internal id.
  static std::int64_t idFor(const std::string& uuid);

  std::string desktopName() const override { return "KWin"; }
  std::optional<std::vector<x11::ListedBrowserWindow>> list() override;
  bool setMinimized(const std::string& uuid, bool minimized) override;
  bool raise(const std::string& uuid) override;

 private:
  std::optional<nlohmann::json> run(const std::string& body);

  std::mutex mutex_;
  std::filesystem::path scriptFolder_;
  std::shared_ptr<KWinBus> bus_;
};

}  // namespace tervane::kwin
