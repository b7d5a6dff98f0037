#include "cli/DesktopChoice.h"

namespace tervane::cli {

const char* rawValue(DesktopBackend backend) {
  switch (backend) {
    case DesktopBackend::x11:
      return "x11";
    case DesktopBackend::kwin:
      return "kwin";
    case DesktopBackend::sway:
      return "sway";
    case DesktopBackend::gnome:
      return "gnome";
  }
  return "x11";
}

const char* displayName(DesktopBackend backend) {
  switch (backend) {
    case DesktopBackend::kwin:
      return "KDE Plasma (Wayland)";
    case DesktopBackend::sway:
      return "sway";
    case DesktopBackend::gnome:
      return "GNOME (Wayland)";
    case DesktopBackend::x11:
      break;
  }
  return "X11";
}

Result<DesktopBackend> chooseDesktop(
    const std::function<std::optional<std::string>(const char* name)>& variable,
    const std::function<bool(const std::string& desktop)>& onSessionBus) {
  const auto set = [&](const char* name) {
    auto value = variable(name);
    return value && !value->empty();
  };
  // A Wayland session also sets DISPLAY for XWayland: WAYLAND_DISPLAY decides.
  if (set("WAYLAND_DISPLAY") || variable("XDG_SESSION_TYPE") == "wayland") {
    if (set("SWAYSOCK")) return DesktopBackend::sway;
    if (onSessionBus("kwin")) return DesktopBackend::kwin;
    if (onSessionBus("gnome")) return DesktopBackend::gnome;
    return Error{
        "This Wayland desktop is not one Tervane Now can work with yet: it needs KDE "
        "Plasma, GNOME or sway. Log in to one of those or to an X11 session.",
        0};
  }
  if (set("DISPLAY")) return DesktopBackend::x11;
  return Error{
      "There is no desktop here (neither WAYLAND_DISPLAY nor DISPLAY is set). Start "
      "Tervane Now from your desktop session, or run scripts/run.sh for a "
      "demonstration desktop.",
      0};
}

}  // namespace tervane::cli
