#include "app/tools/card/CardDesktop.h"

namespace tervane {
namespace {

class UnavailablePicker final : public ActPicking {
 public:
  bool isAvailable() override { return false; }
  void prewarm() override {}
  std::optional<std::set<std::string>> pick(const std::string&,
                                            const std::vector<std::string>&) override {
    return std::nullopt;
  }
};

}  // namespace

Result<CardDesktop> CardDesktop::make(const nlohmann::json& description, Options o) {
  auto platform = sim::SimPlatform::fromJson(description, o.clock);
  if (!platform) return platform.error();

  CardDesktop made;
  made.platform = platform.value();
  made.desktop = made.platform->desktop();
  made.shield = made.platform->recordingShield();
  made.store = std::make_shared<Store>(*o.sharedDefaults);
  made.journal = std::make_shared<StageJournal>(o.journalFolder);
  made.memory = std::make_shared<StageMemory>(*o.standardDefaults);
  for (const auto& [key, choice] : made.desktop->remembered()) made.memory->remember(choice, key);

  MacNowModel::Dependencies d;
  d.main = o.main;
  d.clock = o.clock;
  d.platform = made.platform;
  d.standardDefaults = o.standardDefaults;
  d.store = made.store;
  d.journal = made.journal;
  d.memory = made.memory;
  d.monitor = made.platform->monitor();
  d.offMain = o.offMain;
  d.picker = std::make_shared<UnavailablePicker>();
  made.model = MacNowModel::make(std::move(d));
  return made;
}

std::optional<bool> CardDesktop::isMinimized(BrowserKind kind, std::int64_t windowId) const {
  const auto browser = platform->browser(kind);
  if (!browser) return std::nullopt;
  for (const auto& window : browser->state().windows) {
    if (window.id == windowId) return window.minimized;
  }
  return std::nullopt;
}

}  // namespace tervane
