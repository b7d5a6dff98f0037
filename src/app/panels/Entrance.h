// The staged entrance of the panels' content: a widget fades in from transparent with one
// of the look's motions, after an optional delay, and is drawn plainly again once it is in.
#pragma once

#include <QWidget>

#include "look/Motion.h"

namespace tervane {

// Fades `widget` in. Calling it again while an entrance runs starts it over.
void enterStaged(QWidget* widget, const Motion& motion, double delaySeconds = 0);

}  // namespace tervane
