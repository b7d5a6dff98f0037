#include "linux/DesktopEntries.h"

#include <cstdlib>
#include <fstream>
#include <set>
#include <system_error>

#include "base/Text.h"

namespace tervane::x11 {

namespace fs = std::filesystem;

namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string current;
  for (char ch : text) {
    if (ch == separator) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current.push_back(ch);
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string unescape(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char next = value[++i];
      switch (next) {
        case 's':
          out.push_back(' ');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'r':
          out.push_back('\r');
          break;
        default:
          out.push_back(next);
          break;
      }
    } else {
      out.push_back(value[i]);
    }
  }
  return out;
}

struct Parsed {
  std::string name, localName, languageName, wmClass, type;
  bool hidden = false;
};

Parsed parse(const fs::path& file, const std::string& locale) {
  Parsed parsed;
  std::ifstream in(file);
  const std::string language = locale.substr(0, locale.find('_'));
  std::string line;
  bool inMain = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inMain = line == "[Desktop Entry]";
      continue;
    }
    if (!inMain) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Text::trimmed(line.substr(0, eq));
    const std::string value = unescape(Text::trimmed(line.substr(eq + 1)));
    if (key == "Name")
      parsed.name = value;
    else if (!locale.empty() && key == "Name[" + locale + "]")
      parsed.localName = value;
    else if (!language.empty() && key == "Name[" + language + "]")
      parsed.languageName = value;
    else if (key == "StartupWMClass")
      parsed.wmClass = value;
    else if (key == "Type")
      parsed.type = value;
    else if (key == "Hidden")
      parsed.hidden = value == "true";
  }
  return parsed;
}

std::optional<fs::file_time_type> stampOf(const fs::path& folder) {
  std::error_code error;
  const auto stamp = fs::last_write_time(folder, error);
  if (error) return std::nullopt;
  return stamp;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Text::asciiLower(a) == Text::asciiLower(b);
}

}  // namespace

std::vector<fs::path> DesktopEntries::defaultFolders() {
  std::vector<fs::path> folders;
  std::string dataHome = env("XDG_DATA_HOME");
  if (dataHome.empty() && !env("HOME").empty()) dataHome = env("HOME") + "/.local/share";
  if (!dataHome.empty()) folders.push_back(fs::path(dataHome) / "applications");
  std::string dataDirs = env("XDG_DATA_DIRS");
  if (dataDirs.empty()) dataDirs = "/usr/local/share:/usr/share";
  for (const auto& dir : split(dataDirs, ':')) folders.push_back(fs::path(dir) / "applications");
  return folders;
}

std::string DesktopEntries::messagesLocale() {
  std::string value = env("LC_ALL");
  if (value.empty()) value = env("LC_MESSAGES");
  if (value.empty()) value = env("LANG");
  value = value.substr(0, value.find('.'));
  value = value.substr(0, value.find('@'));
  if (value == "C" || value == "POSIX") return "";
  return value;
}

DesktopEntries::DesktopEntries(std::vector<fs::path> folders, std::string locale)
    : folders_(std::move(folders)), locale_(std::move(locale)) {}

void DesktopEntries::load() {
  entries_.clear();
  stamps_.clear();
  std::set<std::string> seen;
  for (const auto& folder : folders_) {
    stamps_.push_back(stampOf(folder));
    if (!stamps_.back()) continue;
    std::error_code error;
    // Entry ids of sub-folders join the path with '-' ("kde4/foo.desktop" is "kde4-foo").
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
      if (!it->is_regular_file(error) || it->path().extension() != ".desktop") continue;
      std::string id = fs::relative(it->path(), folder, error).replace_extension().string();
      for (char& ch : id) {
        if (ch == '/') ch = '-';
      }
      if (!seen.insert(id).second) continue;
      const Parsed parsed = parse(it->path(), locale_);
      if (parsed.hidden || parsed.type != "Application") continue;
      std::string name = !parsed.localName.empty()      ? parsed.localName
                         : !parsed.languageName.empty() ? parsed.languageName
                                                        : parsed.name;
      if (name.empty()) continue;
      entries_.push_back(Entry{std::move(id), std::move(name), parsed.wmClass});
    }
  }
  loaded_ = true;
}

void DesktopEntries::refreshIfChanged() {
  if (!loaded_) return load();
  for (std::size_t i = 0; i < folders_.size(); ++i) {
    if (stampOf(folders_[i]) != stamps_[i]) return load();
  }
}

std::optional<std::string> DesktopEntries::nameFor(std::string_view className,
                                                   std::string_view instanceName) {
  if (!loaded_) load();
  if (className.empty()) return std::nullopt;
  // StartupWMClass says outright which windows an entry is for, so it beats a file name.
  for (const auto& entry : entries_) {
    if (entry.wmClass == className) return entry.name;
  }
  for (const auto& entry : entries_) {
    if (!entry.wmClass.empty() && (sameIgnoringCase(entry.wmClass, className) ||
                                   sameIgnoringCase(entry.wmClass, instanceName))) {
      return entry.name;
    }
  }
  for (const auto& entry : entries_) {
    if (sameIgnoringCase(entry.id, className) ||
        (!instanceName.empty() && sameIgnoringCase(entry.id, instanceName))) {
      return entry.name;
    }
  }
  return std::nullopt;
}

}  // namespace tervane::x11
