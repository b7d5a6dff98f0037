// The windows of a KDE Plasma Wayland desktop, read and moved through scripts that KWin
// runs (`KWinBus`): the door `x11::RecordedAppSurface` puts applications away through.
// Window ids are KWin's internal ids, stable while KWin runs. Main thread only.
#pragma once

#include <memory>

#include "kwin/KWinBus.h"
#include "linux/RecordedAppSurface.h"

namespace tervane::kwin {

class KWinWindowDoor final : public x11::WindowDoor {
 public:
  // The record of the windows put away, beside the stage journal.
  static constexpr const char* kRecordFileName = "kwin-hidden-windows.json";

  explicit KWinWindowDoor(std::shared_ptr<KWinBus> bus) : bus_(std::move(bus)) {}

  std::optional<std::vector<Window>> windows() override;
  std::optional<std::set<std::string>> minimize(const std::vector<std::string>& ids) override;
  std::optional<Restore> restore(const std::string& app, const std::set<std::string>& ids,
                                 bool activate) override;

 private:
  std::shared_ptr<KWinBus> bus_;
};

}  // namespace tervane::kwin
