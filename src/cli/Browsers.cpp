#include "cli/Browsers.h"

#include <cerrno>
#include <map>
#include <ostream>

#include "companion/HostManifests.h"

namespace tervane::cli {
namespace {

namespace fs = std::filesystem;
using companion::FoundBrowser;
using companion::ManifestState;
using nlohmann::json;

constexpr const char* kFamily = "Chromium, Google Chrome, Brave, Microsoft Edge or Firefox";

std::string manifestWords(const FoundBrowser& found, ManifestState state) {
  switch (state) {
    case ManifestState::inPlace:
      return "host manifest in place";
    case ManifestState::missing:
      return "no host manifest";
    case ManifestState::stale:
      return "host manifest out of date (" + found.manifest().string() + ")";
  }
  return {};
}

// How many companions of each browser kind are connected; none when the application
// could not be asked, with the reason in `problem` (empty when it is simply not running).
std::optional<std::map<std::string, int>> connected(const posix::ControlClient& client,
                                                    std::string& problem) {
  auto reply = client.send(ControlRequest{.command = ControlCommand::browsers});
  if (!reply) {
    if (reply.error().code != ECONNREFUSED) problem = reply.error().message;
    return std::nullopt;
  }
  if (!reply.value().ok) {
    problem = reply.value().message;
    return std::nullopt;
  }
  std::map<std::string, int> counts;
  const auto companions = reply.value().status.value("companions", json::array());
  for (const auto& link : companions.is_array() ? companions : json::array()) {
    if (link.is_object() && link.value("browser", json()).is_string()) {
      ++counts[link["browser"].get<std::string>()];
    }
  }
  return counts;
}

std::string companionWords(int count) {
  if (count == 0) return "no companion connected";
  if (count == 1) return "companion connected";
  return "companions connected in " + std::to_string(count) + " profiles";
}

int list(const std::vector<FoundBrowser>& found, const posix::ControlClient& client,
         std::ostream& out, std::ostream& err) {
  if (found.empty()) {
    out << "No browser found that the companion serves (" << kFamily << ").\n";
    return ControlProtocol::kExitDone;
  }
  std::string problem;
  const auto counts = connected(client, problem);
  bool allInPlace = true;
  for (const auto& browser : found) {
    const auto state = companion::manifestState(browser.manifest(), browser.browser->form);
    allInPlace = allInPlace && state == ManifestState::inPlace;
    out << browser.browser->name << ": " << manifestWords(browser, state);
    if (counts) {
      const auto it = counts->find(std::string(browser.browser->kind));
      out << "; " << companionWords(it == counts->end() ? 0 : it->second);
    }
    out << ".\n";
  }
  if (!allInPlace) out << "tervane-now browsers install writes the host manifests.\n";
  if (!problem.empty()) {
    err << "tervane-now: " << problem << "\n";
    return ControlProtocol::kExitRefused;
  }
  if (!counts) out << "Tervane Now is not running, so no companion is connected now.\n";
  return ControlProtocol::kExitDone;
}

std::string extensionFolder(const fs::path& program) {
  std::error_code ec;
  const auto installed = program.parent_path().parent_path() / "share/tervane-now/companion";
  if (!program.empty() && fs::is_directory(installed, ec)) return installed.lexically_normal();
  return "the companion/ folder of Tervane Now's sources";
}

// Firefox's add-on is one file, installed beside the unpacked companion.
std::string addOnFile(const fs::path& program) {
  const std::string name = std::string(companion::kGeckoId) + ".xpi";
  std::error_code ec;
  const auto installed = program.parent_path().parent_path() / "share/tervane-now" / name;
  if (!program.empty() && fs::is_regular_file(installed, ec)) {
    return installed.lexically_normal();
  }
  return name + " from the companion-firefox/ folder of Tervane Now's build";
}

int install(const BrowsersContext& context, const std::vector<FoundBrowser>& found,
            std::ostream& out, std::ostream& err) {
  if (found.empty()) {
    err << "tervane-now: no browser found to install the companion's host for (" << kFamily
        << ")\n";
    return ControlProtocol::kExitRefused;
  }
  const auto host = companion::findHostProgram(context.program, context.lookup);
  if (!host) {
    err << "tervane-now: " << host.error().message << "\n";
    return ControlProtocol::kExitRefused;
  }
  int status = ControlProtocol::kExitDone;
  bool chromium = false, gecko = false;
  for (const auto& browser : found) {
    (browser.browser->form == companion::ManifestForm::gecko ? gecko : chromium) = true;
    const auto written =
        companion::writeHostManifest(browser.manifestFolder, host.value(), browser.browser->form);
    if (!written) {
      err << "tervane-now: could not write the host manifest for " << browser.browser->name
          << " in " << browser.manifestFolder.string() << ": " << written.error().message << "\n";
      status = ControlProtocol::kExitRefused;
      continue;
    }
    out << browser.browser->name << ": wrote " << browser.manifest().string() << "\n";
  }
  if (chromium) {
    out << "To add the companion, open the browser's extensions page (chrome://extensions), "
           "turn on Developer mode, choose Load unpacked and pick "
        << extensionFolder(context.program)
        << ". It connects to Tervane Now by itself whenever Tervane Now runs.\n";
  }
  if (gecko) {
    out << "To add the companion to Firefox, open about:addons, choose Install Add-on From File "
           "and pick "
        << addOnFile(context.program)
        << ". Firefox ESR takes it once xpinstall.signatures.required is set to false in "
           "about:config; a release Firefox installs only add-ons signed by Mozilla, so there "
           "it loads for one session only, from about:debugging (Load Temporary Add-on).\n";
  }
  return status;
}

}  // namespace

BrowsersCommandLine::BrowsersCommandLine(CLI::App& app) {
  command_ = app.add_subcommand(
      "browsers", "List the browsers the companion serves and whether it is connected");
  install_ = command_->add_subcommand(
      "install", "Write the companion's host manifests for the browsers found here");
}

int runBrowsers(bool installing, const BrowsersContext& context, const posix::ControlClient& client,
                std::ostream& out, std::ostream& err) {
  const auto found = companion::findBrowsers(context.lookup);
  return installing ? install(context, found, out, err) : list(found, client, out, err);
}

}  // namespace tervane::cli
