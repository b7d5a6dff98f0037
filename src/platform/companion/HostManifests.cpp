#include "companion/HostManifests.h"

#include <unistd.h>

#include <system_error>

#include "base/AtomicFile.h"
#include "base/Json.h"

namespace tervane::companion {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string origin() {
  return "chrome-extension://" + std::string(kExtensionId) + "/";
}

// The key that lists who may start the host, and who that is.
std::pair<const char*, std::string> allowed(ManifestForm form) {
  if (form == ManifestForm::gecko) return {"allowed_extensions", std::string(kGeckoId)};
  return {"allowed_origins", origin()};
}

bool isProgram(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<fs::path> searchPath(const EnvironmentLookup& lookup) {
  std::vector<fs::path> folders;
  const auto path = lookup("PATH").value_or("");
  std::size_t from = 0;
  while (from <= path.size()) {
    auto to = path.find(':', from);
    if (to == std::string::npos) to = path.size();
    // An empty entry means the working folder, which no browser is found in.
    if (to > from) folders.emplace_back(path.substr(from, to - from));
    from = to + 1;
  }
  return folders;
}

std::optional<fs::path> configHome(const EnvironmentLookup& lookup) {
  auto folder = defaultConfigFolder(lookup);
  if (!folder) return std::nullopt;
  return folder.value().parent_path();
}

std::optional<fs::path> homeFolder(const EnvironmentLookup& lookup) {
  const auto home = lookup("HOME");
  if (!home || home->empty() || home->front() != '/') return std::nullopt;
  return fs::path(*home);
}

}  // namespace

const std::vector<KnownBrowser>& knownBrowsers() {
  // Debian's Chromium and Google Chrome's packages keep their system manifests apart;
  // Brave and Edge read theirs beside their own /etc/opt folders.
  static const std::vector<KnownBrowser> browsers{
      {"chromium",
       "Chromium",
       {"chromium", "chromium-browser"},
       "chromium",
       "/etc/chromium/native-messaging-hosts"},
      {"chrome",
       "Google Chrome",
       {"google-chrome", "google-chrome-stable"},
       "google-chrome",
       "/etc/opt/chrome/native-messaging-hosts"},
      {"brave",
       "Brave",
       {"brave-browser", "brave"},
       "BraveSoftware/Brave-Browser",
       "/etc/opt/brave/native-messaging-hosts"},
      {"edge",
       "Microsoft Edge",
       {"microsoft-edge", "microsoft-edge-stable"},
       "microsoft-edge",
       "/etc/opt/edge/native-messaging-hosts"},
      {"firefox",
       "Firefox",
       {"firefox", "firefox-esr"},
       ".mozilla/firefox",
       "/usr/lib/mozilla/native-messaging-hosts",
       ManifestForm::gecko},
  };
  return browsers;
}

fs::path FoundBrowser::manifest() const {
  if (manifestFolder.empty()) return {};
  return manifestFolder / (std::string(kHostName) + ".json");
}

std::vector<FoundBrowser> findBrowsers(const EnvironmentLookup& lookup) {
  const auto config = configHome(lookup);
  const auto home = homeFolder(lookup);
  const auto folders = searchPath(lookup);
  std::vector<FoundBrowser> found;
  for (const auto& browser : knownBrowsers()) {
    const bool gecko = browser.form == ManifestForm::gecko;
    const auto& base = gecko ? home : config;
    bool present = false;
    std::error_code ec;
    if (base) present = fs::is_directory(*base / browser.configDir, ec);
    for (const auto& folder : folders) {
      for (const auto program : browser.programs) present = present || isProgram(folder / program);
    }
    if (!present) continue;
    // Without a config home there is nowhere per-user to write; the folder stays empty.
    fs::path manifests;
    if (base && gecko) manifests = *base / ".mozilla/native-messaging-hosts";
    if (base && !gecko) manifests = *base / browser.configDir / "NativeMessagingHosts";
    found.push_back({&browser, manifests});
  }
  return found;
}

ManifestState manifestState(const fs::path& manifest, ManifestForm form) {
  std::error_code ec;
  if (manifest.empty() || !fs::exists(manifest, ec)) return ManifestState::missing;
  auto text = readFile(manifest);
  if (!text) return ManifestState::stale;
  const auto parsed = jsonread::parse(text.value());
  if (!parsed || !parsed->is_object()) return ManifestState::stale;
  const auto path = parsed->value("path", json());
  const auto [key, us] = allowed(form);
  const auto allowedOnes = parsed->value(key, json());
  if (parsed->value("name", json()) != kHostName || !path.is_string() || !allowedOnes.is_array()) {
    return ManifestState::stale;
  }
  bool ours = false;
  for (const auto& one : allowedOnes) ours = ours || one == us;
  const fs::path program = path.get<std::string>();
  return ours && program.is_absolute() && isProgram(program) ? ManifestState::inPlace
                                                             : ManifestState::stale;
}

std::string hostManifest(const fs::path& hostProgram, ManifestForm form) {
  const auto [key, us] = allowed(form);
  const json manifest{{"name", kHostName},
                      {"description", "Tervane Now"},
                      {"path", hostProgram.string()},
                      {"type", "stdio"},
                      {key, {us}}};
  return jsonread::dumpText(manifest, 2) + "\n";
}

Status writeHostManifest(const fs::path& folder, const fs::path& hostProgram, ManifestForm form) {
  if (folder.empty()) return Error{"no config folder (set HOME)", 0};
  AtomicWriteOptions options;
  // Browsers read it as the person; the package's copies are read by everyone.
  options.fileMode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                     fs::perms::others_read;
  options.folderMode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                       fs::perms::others_read | fs::perms::others_exec;
  return writeFileAtomically(folder / (std::string(kHostName) + ".json"),
                             hostManifest(hostProgram, form), options);
}

Result<fs::path> findHostProgram(const fs::path& program, const EnvironmentLookup& lookup) {
  if (!program.empty()) {
    const auto beside = program.parent_path() / kHostProgram;
    if (isProgram(beside)) return beside;
  }
  for (const auto& folder : searchPath(lookup)) {
    if (folder.is_absolute() && isProgram(folder / kHostProgram)) return folder / kHostProgram;
  }
  return Error{"the companion's host program " + std::string(kHostProgram) +
                   " is neither beside tervane-now nor on PATH; install Tervane Now first",
               ENOENT};
}

}  // namespace tervane::companion
