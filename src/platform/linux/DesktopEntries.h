// Application names from the freedesktop desktop entries: the entry whose
// StartupWMClass names a window's class (or instance), else the entry whose file name is
// the class, gives the name the person reads ("Name", localized when the entry has the
// person's language). Folders are searched in XDG precedence order: $XDG_DATA_HOME
// first, then $XDG_DATA_DIRS; an entry id found earlier hides the same id later.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tervane::x11 {

class DesktopEntries {
 public:
  // $XDG_DATA_HOME/applications (default ~/.local/share/applications), then
  // $XDG_DATA_DIRS/applications (default /usr/local/share:/usr/share), read now.
  static std::vector<std::filesystem::path> defaultFolders();
  // "ll_CC" from LC_ALL, LC_MESSAGES or LANG without encoding and modifier; "" for C.
  static std::string messagesLocale();

  explicit DesktopEntries(std::vector<std::filesystem::path> folders = defaultFolders(),
                          std::string locale = messagesLocale());

  // The entry's name for a window of this class and instance; none when no entry matches.
  std::optional<std::string> nameFor(std::string_view className, std::string_view instanceName);

  // Reads the folders again when one of them changed since the last read.
  void refreshIfChanged();

 private:
  struct Entry {
    std::string id;  // file name without ".desktop"
    std::string name;
    std::string wmClass;
  };
  void load();

  std::vector<std::filesystem::path> folders_;
  std::string locale_;
  std::vector<Entry> entries_;
  // Each folder's modification time at the last read; none for a missing folder.
  std::vector<std::optional<std::filesystem::file_time_type>> stamps_;
  bool loaded_ = false;
};

}  // namespace tervane::x11
