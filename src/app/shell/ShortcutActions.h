// What the four global shortcuts do once released. Each either acts on the model or,
// when there is nothing to act on, opens the card so the person sees why. Main thread.
#pragma once

#include <functional>

#include "session/MacNowModel.h"

namespace tervane::ShortcutActions {

// With no line, opens the card; with a line and no stage, starts one; with a stage open,
// only opens the card.
void start(MacNowModel& model, const std::function<void()>& openCard);
// Parks an open stage or resumes a parked one; with no stage, opens the card.
void stepOut(MacNowModel& model, const std::function<void()>& openCard);
// Finishes when there is a line or a stage; otherwise opens the card.
void done(MacNowModel& model, const std::function<void()>& openCard);

}  // namespace tervane::ShortcutActions
