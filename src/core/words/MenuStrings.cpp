#include "words/MenuStrings.h"

#include "base/Text.h"

namespace tervane {
namespace {

// The value of an os-release assignment: quotes removed, backslash escapes resolved.
std::string unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    const char quote = value.front();
    value = value.substr(1, value.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (quote == '"' && value[i] == '\\' && i + 1 < value.size()) ++i;
      out += value[i];
    }
    return out;
  }
  return std::string(value);
}

}  // namespace

SystemIdentity SystemIdentity::fromOsRelease(std::string_view text) {
  SystemIdentity system;
  std::size_t position = 0;
  while (position <= text.size()) {
    auto end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    const auto line = Text::trimmed(text.substr(position, end - position));
    position = end + 1;
    const auto equals = line.find('=');
    if (line.empty() || line.front() == '#' || equals == std::string::npos) continue;
    const auto key = std::string_view(line).substr(0, equals);
    const auto value = unquote(std::string_view(line).substr(equals + 1));
    if (key == "NAME") system.name = value;
    if (key == "VERSION_ID") system.version = value;
  }
  if (system.name.empty()) system.name = "Linux";
  return system;
}

namespace MenuStrings {

std::string version(const AppIdentity& app) {
  return "Tervane Now for " + app.platformName + " " + app.shortVersion + " (" + app.buildVersion +
         ")";
}

std::string withoutTray(const std::string& captureKeys) {
  std::string text = "This desktop has no tray, so the bee cannot show. ";
  if (!captureKeys.empty()) text += "Press " + captureKeys + " to write your one thing. ";
  return text +
         "To see the card, open Tervane Now again from your applications, or run "
         "tervane-now open.";
}

std::string quit(bool hasOpenStage) {
  return hasOpenStage ? "Bring everything back and quit" : "Quit Tervane Now";
}

}  // namespace MenuStrings

namespace TervaneContact {

std::string systemLine(const AppIdentity& app, const SystemIdentity& system) {
  std::string line = MenuStrings::version(app) + ", " + system.name;
  // A system without a version number reads "Arch Linux", not "Arch Linux ".
  if (!system.version.empty()) line += " " + system.version;
  if (!system.desktop.empty()) line += ", " + system.desktop;
  return line;
}

}  // namespace TervaneContact
}  // namespace tervane
