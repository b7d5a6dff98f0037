#include "support/RealBrowsers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <httplib.h>

#include <thread>

#include "linux/ClientWindows.h"
#include "support/TempDir.h"

namespace tervane::testing {

struct PageServer::Running {
  httplib::Server server;
  int port = -1;
  std::thread thread;
};

PageServer::PageServer() : running_(std::make_unique<Running>()) {
  auto& r = *running_;
  r.port = r.server.bind_to_any_port("127.0.0.1");
  r.server.Get(".*", [](const httplib::Request& request, httplib::Response& response) {
    auto host = request.get_header_value("Host");
    host = host.substr(0, host.find('.'));
    response.set_content("<title>" + host + " page</title>", "text/html");
  });
  r.thread = std::thread([&r] { r.server.listen_after_bind(); });
  EXPECT_TRUE(httplib::Client("127.0.0.1", r.port).Get("/ready"));
}

PageServer::~PageServer() {
  running_->server.stop();
  running_->thread.join();
}

int PageServer::port() const {
  return running_->port;
}

void writeHostManifest(const std::filesystem::path& folder, bool gecko) {
  std::filesystem::create_directories(folder);
  nlohmann::json manifest{{"name", "now.tervane.companion"},
                          {"description", "Tervane Now"},
                          {"path", TERVANE_HOST_TOOL},
                          {"type", "stdio"}};
  if (gecko) {
    manifest["allowed_extensions"] = {"companion@tervane.now"};
  } else {
    manifest["allowed_origins"] = {"chrome-extension://edbimddlcdmnaiandepgmpcoddnomaak/"};
  }
  writeText(folder / "now.tervane.companion.json", manifest.dump());
}

std::vector<std::string> stowedUrls(const nlohmann::json& stage) {
  std::vector<std::string> urls;
  for (const auto& item : stage["stowed"]) {
    if (item["kind"] == "tab") urls.push_back(item["url"].get<std::string>());
  }
  return urls;
}

std::vector<std::string> companionChromiumArguments(const std::filesystem::path& profile,
                                                    const std::filesystem::path& runtime,
                                                    const PageServer& pages) {
  writeHostManifest(profile / "NativeMessagingHosts", false);
  auto args = chromiumArguments(profile);
  args.insert(args.begin(), {"env", "XDG_RUNTIME_DIR=" + runtime.string()});
  args.push_back("--load-extension=" + std::string(TERVANE_SOURCE_DIR) + "/companion");
  args.push_back("--disable-features=DisableLoadExtensionCommandLineSwitch,HttpsUpgrades");
  args.push_back("--host-resolver-rules=MAP *.test 127.0.0.1:" + std::to_string(pages.port()));
  return args;
}

void writeFirefoxProfile(XTestDesktop& desktop, const std::filesystem::path& profile,
                         bool companion) {
  std::filesystem::create_directories(profile / "extensions");
  std::string prefs;
  for (const char* pref : {
           // An unsigned add-on in the profile is installed, and enabled at once.
           R"("xpinstall.signatures.required", false)",
           R"("extensions.autoDisableScopes", 0)",
           // Every name to the page server; plain http stays plain.
           R"("network.dns.forceResolve", "127.0.0.1")",
           R"("network.trr.mode", 5)",
           R"("dom.security.https_first", false)",
           R"("network.proxy.type", 0)",
           // Nothing of a first run, and nothing fetched from outside.
           R"("browser.shell.checkDefaultBrowser", false)",
           R"("browser.startup.homepage_override.mstone", "ignore")",
           R"("browser.aboutwelcome.enabled", false)",
           R"("datareporting.policy.dataSubmissionEnabled", false)",
           R"("datareporting.policy.firstRunURL", "")",
           R"("toolkit.telemetry.reportingpolicy.firstRun", false)",
           R"("app.update.disabledForTesting", true)",
           R"("browser.sessionstore.resume_from_crash", false)",
       }) {
    prefs += std::string("user_pref(") + pref + ");\n";
  }
  writeText(profile / "user.js", prefs);
  if (!companion) return;
  std::filesystem::copy_file(TERVANE_COMPANION_XPI,
                             profile / "extensions" / "companion@tervane.now.xpi",
                             std::filesystem::copy_options::overwrite_existing);
  writeHostManifest(desktop.home() / ".mozilla" / "native-messaging-hosts", true);
}

std::vector<std::string> firefoxArguments(const std::filesystem::path& profile,
                                          const std::filesystem::path& runtime) {
  return {"env", "XDG_RUNTIME_DIR=" + runtime.string(), "firefox-esr", "--profile",
          profile.string()};
}

std::string firefoxUrl(const PageServer& pages, const std::string& host, const std::string& path) {
  return "http://" + host + ":" + std::to_string(pages.port()) + path;
}

xcb_window_t browserWindow(XTestDesktop& desktop, const std::string& className,
                           const std::string& title) {
  const std::string suffix = className == "Chromium" ? " - Chromium" : " \u2014 Mozilla Firefox";
  std::optional<xcb_window_t> found;
  desktop.waitUntil(
      [&] {
        for (const auto& w : x11::readClients(desktop.x(), desktop.clients(), true)) {
          if (w.className == className && w.title == title + suffix) found = w.window;
        }
        return found.has_value();
      },
      90);
  if (!found) throw std::runtime_error("no " + className + " window titled " + title);
  return *found;
}

}  // namespace tervane::testing
