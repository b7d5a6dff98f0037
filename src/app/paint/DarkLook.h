// The dark look for what Qt draws itself rather than the look's own painted pieces: the
// bar menu, tooltips and any stock widget. Every surface of the application is dark; a
// desktop's light theme must not show through in the menu or a tooltip. Fusion is the
// style, because it draws from the palette alone, whatever the platform theme.
#pragma once

#include <QPalette>

#include "look/Tint.h"

namespace tervane::DarkLook {

// deepBg behind, ink on it, the tint's accent for the selection.
QPalette palette(TervaneTint tint);

// Gives the application that palette and style, and the tooltips the same.
void apply(TervaneTint tint);

}  // namespace tervane::DarkLook
