#include "cli/Desktop.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <regex>

#include <nlohmann/json.hpp>

#include "posix/UniqueFd.h"

extern char** environ;

namespace tervane::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUuid = "tervane-now@tervane.now";

}  // namespace

DesktopCommandLine::DesktopCommandLine(CLI::App& app) {
  command_ = app.add_subcommand("desktop",
                                "Look after what this desktop needs to work with "
                                "Tervane Now");
  command_->require_subcommand(1);
  install_ = command_->add_subcommand(
      "install", "Install and turn on the GNOME Shell extension Tervane Now needs on GNOME");
}

std::optional<int> gnomeShellMajor(const std::string& versionLine) {
  static const std::regex kVersion(R"(GNOME Shell (\d+)(\.|\s|$))");
  std::smatch match;
  if (!std::regex_search(versionLine, match, kVersion)) return std::nullopt;
  return std::stoi(match[1].str());
}

std::optional<std::string> withExtension(const std::string& enabled, const std::string& uuid) {
  // gsettings prints "@as []" for an empty list and ['a', 'b'] otherwise; with single
  // quotes swapped for double ones the list reads as JSON (extension ids hold no quotes).
  std::string text = enabled;
  if (text.rfind("@as ", 0) == 0) text.erase(0, 4);
  for (char& c : text) {
    if (c == '\'') c = '"';
  }
  auto list = nlohmann::json::parse(text, nullptr, false);
  if (!list.is_array()) return std::nullopt;
  if (std::find(list.begin(), list.end(), uuid) == list.end()) list.push_back(uuid);
  std::string out = "[";
  for (const auto& item : list) {
    if (!item.is_string()) return std::nullopt;
    out += (out.size() > 1 ? ", '" : "'") + item.get<std::string>() + "'";
  }
  return out + "]";
}

std::optional<std::pair<int, std::string>> runProgram(const std::vector<std::string>& argv) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  posix::UniqueFd reader(fds[0]), writer(fds[1]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writer.get(), 1);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  writer.reset();
  if (spawned != 0) return std::nullopt;
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = ::read(reader.get(), buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    output.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return std::pair(WIFEXITED(status) ? WEXITSTATUS(status) : 128, output);
}

int runDesktopInstall(const DesktopContext& context, std::ostream& out, std::ostream& err) {
  const auto version = context.run({"gnome-shell", "--version"});
  const auto major = version ? gnomeShellMajor(version->second) : std::nullopt;
  if (!major) {
    err << "tervane-now: GNOME Shell is not installed here; this desktop needs no extension.\n";
    return 1;
  }
  const char* build = *major >= 45 ? "modern" : "legacy";
  const fs::path source = context.program.parent_path().parent_path() /
                          "share/tervane-now/gnome-extension" / build / kUuid;
  std::error_code ec;
  if (context.program.empty() || !fs::is_directory(source, ec)) {
    err << "tervane-now: the GNOME Shell extension is not installed beside this program (looked "
           "in "
        << source.string() << ").\n";
    return 1;
  }
  auto data = xdgDataHome(context.lookup);
  if (!data) {
    err << "tervane-now: no home folder to install the extension in (set HOME).\n";
    return 1;
  }
  const fs::path target = data.value() / "gnome-shell/extensions" / kUuid;
  fs::remove_all(target, ec);
  fs::create_directories(target.parent_path(), ec);
  fs::copy(source, target, fs::copy_options::recursive, ec);
  if (ec) {
    err << "tervane-now: could not copy the extension to " << target.string() << ": "
        << ec.message() << "\n";
    return 1;
  }
  const auto enabled = context.run({"gsettings", "get", "org.gnome.shell", "enabled-extensions"});
  const auto list =
      enabled && enabled->first == 0 ? withExtension(enabled->second, kUuid) : std::nullopt;
  const auto set =
      list ? context.run({"gsettings", "set", "org.gnome.shell", "enabled-extensions", *list})
           : std::nullopt;
  if (!set || set->first != 0) {
    err << "tervane-now: installed the extension in " << target.string()
        << " but could not turn it on; turn on \"Tervane Now\" in GNOME's Extensions app.\n";
    return 1;
  }
  out << "Installed the GNOME Shell extension in " << target.string()
      << " and turned it on. GNOME loads a new extension at the next login: log out and in "
         "again. Until then Tervane Now cannot move windows on GNOME on Wayland, and it shows "
         "no bee in the top bar.\n";
  const auto userOff =
      context.run({"gsettings", "get", "org.gnome.shell", "disable-user-extensions"});
  if (userOff && userOff->second.rfind("true", 0) == 0) {
    out << "Extensions are switched off in GNOME's settings; switch them on in the Extensions "
           "app.\n";
  }
  return 0;
}

}  // namespace tervane::cli
