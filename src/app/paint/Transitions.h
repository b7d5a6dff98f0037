// Transitions of whole widgets that hold other widgets (a question with its buttons, the
// just-finished row): an opacity effect that runs with a motion and removes itself at the
// end, so the widget is drawn plainly once it is in.
#pragma once

#include <QWidget>

#include "look/Motion.h"

namespace tervane {

// Fades `widget` in from transparent with `motion`.
void fadeIn(QWidget* widget, const Motion& motion);

}  // namespace tervane
