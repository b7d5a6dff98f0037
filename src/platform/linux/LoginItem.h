// Starting with the session: the XDG autostart entry "org.tervane.now.desktop" in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart). The entry counts as on only when
// it is a regular file that starts this very executable and nobody has switched it off
// (Hidden=true or X-GNOME-Autostart-enabled=false, as session settings tools do). A failure
// to write or remove it is logged under "login" and shows in the answer; nothing is shown
// to the person.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "base/AtomicFile.h"

namespace tervane::x11 {

class LoginItem {
 public:
  static constexpr const char* kEntryName = "org.tervane.now.desktop";

  // $XDG_CONFIG_HOME/autostart when that is an absolute path, else $HOME/.config/autostart.
  static std::filesystem::path defaultFolder();
  // The running executable (/proc/self/exe); empty when it cannot be read.
  static std::filesystem::path runningExecutable();

  // How the entry is written and removed; tests make either fail.
  struct FileOps {
    AtomicWriteOptions write;
    // Removes the entry; empty means std::filesystem::remove.
    std::function<std::error_code(const std::filesystem::path&)> remove;
  };

  explicit LoginItem(std::filesystem::path folder = defaultFolder(),
                     std::filesystem::path executable = runningExecutable(), FileOps fileOps = {});

  std::filesystem::path entryPath() const { return folder_ / kEntryName; }

  bool isOn() const;
  // Writes or removes the entry; gives whether it is on afterwards.
  [[nodiscard]] bool set(bool on);

  // The whole entry this executable writes.
  std::string entryText() const;
  // The Exec= value that starts `executable`, quoted and escaped for a desktop entry.
  static std::string execValue(const std::filesystem::path& executable);

 private:
  std::filesystem::path folder_;
  std::filesystem::path executable_;
  FileOps fileOps_;
};

}  // namespace tervane::x11
