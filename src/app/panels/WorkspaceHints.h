// Asks the window manager to keep a panel on every workspace, out of the task bar and
// above other windows. Qt sets "stays on top" itself but has no word for "every
// workspace", so on X11 this speaks the desktop hints (_NET_WM_DESKTOP, _NET_WM_STATE)
// directly over Qt's own connection. On other platforms it does nothing.
#pragma once

class QWidget;

namespace tervane::WorkspaceHints {

// Call before showing a top-level widget: it marks the window for every workspace so the
// window manager places it there when it first maps it.
void prepareForEveryWorkspace(QWidget& window);

// Call right after showing it: repeats the request as the window manager expects for a
// window it already manages.
void keepOnEveryWorkspace(QWidget& window);

}  // namespace tervane::WorkspaceHints
