#include "app/shell/ShortcutActions.h"

namespace tervane::ShortcutActions {

void start(MacNowModel& model, const std::function<void()>& openCard) {
  if (model.now() && !model.openStage()) {
    // The default rule: recent use within 20 minutes, a meeting veto of 20 minutes.
    model.set(SeedRule::defaultRule());
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
