// Which desktop backend serves this session, decided once at launch from the session's
// environment: a Wayland session gets the sway backend when sway's IPC socket is named
// ($SWAYSOCK), the KWin backend when KWin is on the session bus, the GNOME backend when
// GNOME Shell is, and no backend otherwise (only
// XWayland's few windows would be seen, so the program says so and stops rather than half working);
// an X11 session gets the X11 backend.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/Result.h"

namespace tervane::cli {

enum class DesktopBackend { x11, kwin, sway, gnome };

// The application's exit status when no backend serves this session.
inline constexpr int kExitNoDesktop = 4;

// "x11", "kwin", "sway" or "gnome", as `status` names it.
const char* rawValue(DesktopBackend backend);
// "X11", "KDE Plasma (Wayland)", "sway" or "GNOME (Wayland)", as Help's system line names it.
const char* displayName(DesktopBackend backend);

// `variable` reads the environment; `onSessionBus` (asked "kwin" or "gnome") is asked
// only for a Wayland session. The error is the sentence the person reads.
Result<DesktopBackend> chooseDesktop(
    const std::function<std::optional<std::string>(const char* name)>& variable,
    const std::function<bool(const std::string& desktop)>& onSessionBus);
// The choice for this process's session: its environment and its session bus (built with
// the desktop backends).
Result<DesktopBackend> chooseSessionDesktop();

}  // namespace tervane::cli
