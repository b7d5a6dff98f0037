// The windows of a GNOME Shell desktop through the Tervane Now extension (`GnomeShell`):
// the door `x11::RecordedAppSurface` puts applications away through, and the browser
// windows `x11::ListedBrowsers` makes browsers of. Window ids are Mutter's, stable while
// the Shell runs. Applications go by the window's app id (its class under XWayland), a
// browser by its fixed identifier.
#pragma once

#include <memory>
#include <mutex>

#include "gnome/GnomeShell.h"
#include "linux/ListedBrowsers.h"
#include "linux/RecordedAppSurface.h"

namespace tervane::gnome {

class GnomeWindowDoor final : public x11::WindowDoor {
 public:
  // The record of the windows put away, beside the stage journal.
  static constexpr const char* kRecordFileName = "gnome-hidden-windows.json";

  explicit GnomeWindowDoor(std::shared_ptr<GnomeShell> shell) : shell_(std::move(shell)) {}

  std::optional<std::vector<Window>> windows() override;
  std::optional<std::set<std::string>> minimize(const std::vector<std::string>& ids) override;
  std::optional<Restore> restore(const std::string& app, const std::set<std::string>& ids,
                                 bool activate) override;

 private:
  std::shared_ptr<GnomeShell> shell_;
};

// On a connection of its own, opened at first use: the lanes call from their threads.
class GnomeBrowserWindows final : public x11::BrowserWindowList {
 public:
  std::string desktopName() const override { return "GNOME Shell"; }
  std::optional<std::vector<x11::ListedBrowserWindow>> list() override;
  bool setMinimized(const std::string& id, bool minimized) override;
  bool raise(const std::string& id) override;

 private:
  GnomeShell* shell();

  std::mutex mutex_;
  std::shared_ptr<GnomeShell> shell_;
};

}  // namespace tervane::gnome
