// The words of the bee's menu and of the help panel's system line. The platform and the
// versions are handed in: "Linux" and the distribution on Linux builds, so the same lines
// read "Tervane Now for Linux 1.4 (212)" there.
#pragma once

#include <string>
#include <string_view>

namespace tervane {

// Which build is running, as the platform layer reads it.
struct AppIdentity {
  std::string platformName;  // "Linux"
  std::string shortVersion;  // "1.4", empty when unknown
  std::string buildVersion;  // "212", empty when unknown
};

// The operating system, as the platform layer reads it: "Debian GNU/Linux" and "12".
struct SystemIdentity {
  std::string name;
  std::string version;
  std::string desktop = {};  // the desktop the application works with, where there are several

  // NAME and VERSION_ID of an os-release file's text; "Linux" when NAME is missing.
  static SystemIdentity fromOsRelease(std::string_view text);
};

namespace MenuStrings {
// "Tervane Now for Linux 1.4 (212)".
std::string version(const AppIdentity& app);
// "Bring everything back and quit" while a stage is open (running or paused), otherwise
// "Quit Tervane Now".
std::string quit(bool hasOpenStage);

inline constexpr std::string_view howItWorks = "How Tervane Now works…";
inline constexpr std::string_view help = "Help";
inline constexpr std::string_view checkForUpdates = "Check for updates…";
// Shown, greyed, in place of the update check where the package manager keeps the
// application up to date.
inline constexpr std::string_view updatesFromPackageManager =
    "Updates come with your package manager";
inline constexpr std::string_view openAtLogin = "Open at login";

// Said once on a desktop without a tray, where the bee cannot show: how the card is
// reached all the same. `captureKeys` names the capture shortcut ("Ctrl+Alt+Super+N");
// empty when the person cleared it.
std::string withoutTray(const std::string& captureKeys);
}  // namespace MenuStrings

namespace TervaneContact {
// "Tervane Now for Linux 1.4 (212), Debian GNU/Linux 12".
std::string systemLine(const AppIdentity& app, const SystemIdentity& system);
}  // namespace TervaneContact

}  // namespace tervane
