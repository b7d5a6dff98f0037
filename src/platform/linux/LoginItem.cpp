#include "linux/LoginItem.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "base/Log.h"

namespace tervane::x11 {

namespace fs = std::filesystem;

namespace {

const Log& loginLog() {
  static const Log log("login");
  return log;
}

void logFailure(const char* what, const std::string& text) {
  loginLog().error(std::string("login item ") + what + " failed: " + text);
}

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// The keys of the main group, as written (values keep their escapes).
std::vector<std::pair<std::string, std::string>> mainGroup(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> keys;
  bool inMain = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inMain = line == "[Desktop Entry]";
      continue;
    }
    const auto equals = line.find('=');
    if (!inMain || equals == std::string_view::npos) continue;
    keys.emplace_back(std::string(trim(line.substr(0, equals))),
                      std::string(trim(line.substr(equals + 1))));
  }
  return keys;
}

bool needsQuoting(char ch) {
  static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
  return reserved.find(ch) != std::string_view::npos;
}

}  // namespace

fs::path LoginItem::defaultFolder() {
  const fs::path configHome = env("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  if (configHome.is_absolute()) return configHome / "autostart";
  std::string home = env("HOME");
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
      home = entry->pw_dir;
    }
  }
  return fs::path(home) / ".config" / "autostart";
}

fs::path LoginItem::runningExecutable() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe;
}

LoginItem::LoginItem(fs::path folder, fs::path executable, FileOps fileOps)
    : folder_(std::move(folder)), executable_(std::move(executable)), fileOps_(std::move(fileOps)) {
  // Only the owner reads the entry, and a folder made here is the owner's alone; an existing
  // folder keeps its mode.
  fileOps_.write.fileMode = fs::perms::owner_read | fs::perms::owner_write;
  fileOps_.write.folderMode = fs::perms::owner_all;
  if (!fileOps_.remove) {
    fileOps_.remove = [](const fs::path& path) {
      std::error_code ec;
      fs::remove(path, ec);
      return ec;
    };
  }
}

std::string LoginItem::execValue(const fs::path& executable) {
  const std::string& raw = executable.native();
  bool quote = false;
  for (char ch : raw) quote = quote || needsQuoting(ch);

  // First the argument quoting of the Exec key, then the escapes every string value has:
  // a backslash inside quotes therefore ends up as four in the file.
  std::string argument;
  if (quote) argument.push_back('"');
  for (char ch : raw) {
    if (ch == '%') {
      argument += "%%";  // a lone % would be read as a field code
      continue;
    }
    if (quote && (ch == '"' || ch == '`' || ch == '$' || ch == '\\')) argument.push_back('\\');
    argument.push_back(ch);
  }
  if (quote) argument.push_back('"');

  std::string value;
  for (char ch : argument) {
    switch (ch) {
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value.push_back(ch);
        break;
    }
  }
  return value;
}

std::string LoginItem::entryText() const {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tervane Now\n"
         "Comment=Put away everything your one thing does not need\n"
         "Exec=" +
         execValue(executable_) +
         "\n"
         "Icon=tervane-now\n"
         "Terminal=false\n"
         "NoDisplay=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool LoginItem::isOn() const {
  if (executable_.empty()) return false;
  std::error_code ec;
  // A link or a folder under our name is not an entry this program wrote.
  if (!fs::is_regular_file(fs::symlink_status(entryPath(), ec))) return false;
  auto text = readFile(entryPath());
  if (!text) return false;
  const std::string exec = execValue(executable_);
  bool ours = false;
  for (const auto& [key, value] : mainGroup(text.value())) {
    if (key == "Exec") ours = value == exec;
    if (key == "Hidden" && value == "true") return false;
    if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
  }
  return ours;
}

bool LoginItem::set(bool on) {
  if (on) {
    if (isOn()) return true;
    if (executable_.empty()) {
      logFailure("register", "the running program's path cannot be read");
      return false;
    }
    // An entry someone switched off is replaced: turning it on here is the newer wish.
    if (auto written = writeFileAtomically(entryPath(), entryText(), fileOps_.write); !written) {
      logFailure("register", written.error().message);
    }
    return isOn();
  }

  // Whatever file or link carries our name goes, even one that is switched off, so that
  // nothing under it can start the program later. Something that is no file (a folder) never
  // starts anything and is left alone.
  std::error_code ec;
  const auto type = fs::symlink_status(entryPath(), ec).type();
  if (type == fs::file_type::regular || type == fs::file_type::symlink) {
    if (const std::error_code removed = fileOps_.remove(entryPath()); removed) {
      logFailure("unregister", "cannot remove " + entryPath().string() + ": " + removed.message());
    }
  }
  return isOn();
}

}  // namespace tervane::x11
