// The browsers on this machine that the companion serves and the host manifests that let
// their companion reach `tervane-now-host`. A browser counts as found when one of its
// programs is on PATH or its own folder exists (under the person's config home; Firefox's
// under the home folder). A Chromium-family browser reads a per-user manifest from its
// user data folder ("NativeMessagingHosts") and a system one from its folder under /etc;
// Firefox reads ~/.mozilla/native-messaging-hosts and /usr/lib/mozilla/native-messaging-
// hosts, and its manifests name the add-on id where Chromium's name the extension's
// origin. `tervane-now browsers install` writes the per-user ones, the package installs
// the system ones.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "base/StateFolder.h"

namespace tervane::companion {

inline constexpr std::string_view kHostName = "now.tervane.companion";
inline constexpr std::string_view kExtensionId = "edbimddlcdmnaiandepgmpcoddnomaak";
// The Firefox add-on's id, fixed in its manifest (companion/manifest.firefox.json).
inline constexpr std::string_view kGeckoId = "companion@tervane.now";
inline constexpr std::string_view kHostProgram = "tervane-now-host";

// Which of the two manifest forms a browser reads.
enum class ManifestForm { chromium, gecko };

struct KnownBrowser {
  std::string_view kind;  // as the host's hello names it: chromium, chrome, brave, edge, firefox
  std::string_view name;  // as the person knows it
  std::vector<std::string_view> programs;
  std::string_view configDir;     // under the config home (gecko: under the home folder)
  std::string_view systemFolder;  // where its system-wide manifests live
  ManifestForm form = ManifestForm::chromium;
};

// Chromium, Google Chrome, Brave, Microsoft Edge, Firefox, in that order.
const std::vector<KnownBrowser>& knownBrowsers();

struct FoundBrowser {
  const KnownBrowser* browser = nullptr;
  // The per-user one, for the default profile; empty without a home folder.
  std::filesystem::path manifestFolder;
  std::filesystem::path manifest() const;  // empty without a folder
};

// The known browsers found with this environment (PATH, XDG_CONFIG_HOME, HOME).
std::vector<FoundBrowser> findBrowsers(const EnvironmentLookup& lookup = processEnvironment);

enum class ManifestState {
  missing,
  inPlace,  // names our extension and a host program that exists
  stale,    // there, but unreadable, not ours, or naming a program that is gone
};

ManifestState manifestState(const std::filesystem::path& manifest, ManifestForm form);

// The manifest's text, naming `hostProgram` (an absolute path).
std::string hostManifest(const std::filesystem::path& hostProgram, ManifestForm form);

// Writes the manifest into `folder` (created as needed) so that a browser never reads
// it half written.
[[nodiscard]] Status writeHostManifest(const std::filesystem::path& folder,
                                       const std::filesystem::path& hostProgram, ManifestForm form);

// The host program beside `program` (the running tervane-now), else on PATH.
[[nodiscard]] Result<std::filesystem::path> findHostProgram(
    const std::filesystem::path& program, const EnvironmentLookup& lookup = processEnvironment);

}  // namespace tervane::companion
