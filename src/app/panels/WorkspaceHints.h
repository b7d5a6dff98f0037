// Asks the window manager to keep a panel on every workspace, out of the task bar and
// above other windows, and to give it the keyboard. Qt sets "stays on top" itself but has
// no word for "every workspace"; and it asks for the keyboard with the time of the last
// event it saw, which can be older than the person's last key in another window. So on
// X11 this speaks the desktop hints (_NET_WM_DESKTOP, _NET_WM_STATE, _NET_ACTIVE_WINDOW)
// directly over Qt's own connection. On other platforms it leaves the work to Qt.
#pragma once

class QWidget;

namespace tervane::WorkspaceHints {

// Call before showing a top-level widget: it marks the window for every workspace so the
// window manager places it there when it first maps it.
void prepareForEveryWorkspace(QWidget& window);

// Call right after showing it: repeats the request as the window manager expects for a
// window it already manages.
void keepOnEveryWorkspace(QWidget& window);

// Raises a shown panel and asks the manager to give it the keyboard once it shows it.
void activate(QWidget& window);

}  // namespace tervane::WorkspaceHints
