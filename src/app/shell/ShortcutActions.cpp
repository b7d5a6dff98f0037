#include "app/shell/ShortcutActions.h"

namespace tervane::ShortcutActions {

SeedRule startRule() { return SeedRule{.recencyWindow = 1200, .meetingVeto = 1200}; }

void start(MacNowModel& model, const std::function<void()>& openCard) {
  if (model.now() && !model.openStage()) {
    model.set(startRule());
  } else {
    openCard();
  }
}

void stepOut(MacNowModel& model, const std::function<void()>& openCard) {
  const auto& stage = model.openStage();
  if (!stage) {
    openCard();
  } else if (stage->isParked()) {
    model.resume();
  } else {
    model.park();
  }
}

void done(MacNowModel& model, const std::function<void()>& openCard) {
  if (model.now() || model.openStage()) {
    model.done();
  } else {
    openCard();
  }
}

}  // namespace tervane::ShortcutActions
