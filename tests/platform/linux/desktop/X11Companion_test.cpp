// Debian's Chromium and Firefox ESR on the private desktop with throwaway profiles, through
// the companion (Chromium's extension, Firefox's add-on) and its host, and through their X11
// windows alone. A loopback server titles its pages after the host they were asked for, so
// "http://alpha.test/one" reads "alpha page" under any name the browser maps to it.
#include <gtest/gtest.h>

#include <httplib.h>

#include <thread>

#include "companion/CompanionSocket.h"
#include "linux/X11Platform.h"
#include "posix/ControlFolder.h"
#include "support/AppUnderTest.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

class PageServer {
 public:
  PageServer() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    server_.Get(".*", [](const httplib::Request& request, httplib::Response& response) {
      auto host = request.get_header_value("Host");
      response.set_content("<title>" + host.substr(0, host.find('.')) + " page</title>",
                           "text/html");
    });
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    EXPECT_TRUE(httplib::Client("127.0.0.1", port_).Get("/ready"));
  }
  ~PageServer() {
    server_.stop();
    thread_.join();
  }
  int port() const { return port_; }

 private:
  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
};

// Writes now.tervane.companion.json into `folder`, naming the host program of this build;
// `gecko` writes Firefox's form (the add-on's id) instead of Chromium's (the origin).
void writeHostManifest(const std::filesystem::path& folder, bool gecko) {
  std::filesystem::create_directories(folder);
  nlohmann::json manifest{{"name", "now.tervane.companion"}, {"description", "Tervane Now"},
                          {"path", TERVANE_HOST_TOOL}, {"type", "stdio"}};
  if (gecko) {
    manifest["allowed_extensions"] = {"companion@tervane.now"};
  } else {
    manifest["allowed_origins"] = {"chrome-extension://edbimddlcdmnaiandepgmpcoddnomaak/"};
  }
  testing::writeText(folder / "now.tervane.companion.json", manifest.dump());
}

// Makes `profile` a fresh Firefox profile with the add-on from this build in the profile's
// extensions folder (let in unsigned) and the host's manifest under the desktop's home,
// where Firefox reads it. Every host name resolves to loopback.
void writeFirefoxProfile(testing::XTestDesktop& desktop, const std::filesystem::path& profile) {
  std::filesystem::create_directories(profile / "extensions");
  std::string prefs;
  for (const char* pref : {
           // An unsigned add-on in the profile is installed, and enabled at once.
           R"("xpinstall.signatures.required", false)", R"("extensions.autoDisableScopes", 0)",
           // Every name to the page server; plain http stays plain.
           R"("network.dns.forceResolve", "127.0.0.1")", R"("network.trr.mode", 5)",
           R"("dom.security.https_first", false)", R"("network.proxy.type", 0)",
           // Nothing of a first run, and nothing fetched from outside.
           R"("browser.shell.checkDefaultBrowser", false)",
           R"("browser.startup.homepage_override.mstone", "ignore")",
           R"("browser.aboutwelcome.enabled", false)",
           R"("datareporting.policy.dataSubmissionEnabled", false)",
           R"("datareporting.policy.firstRunURL", "")",
           R"("toolkit.telemetry.reportingpolicy.firstRun", false)",
           R"("app.update.disabledForTesting", true)",
           R"("browser.sessionstore.resume_from_crash", false)"}) {
    prefs += std::string("user_pref(") + pref + ");\n";
  }
  testing::writeText(profile / "user.js", prefs);
  std::filesystem::copy_file(TERVANE_COMPANION_XPI,
                             profile / "extensions" / "companion@tervane.now.xpi",
                             std::filesystem::copy_options::overwrite_existing);
  writeHostManifest(desktop.home() / ".mozilla" / "native-messaging-hosts", true);
}

// The addresses of the tabs a stage (its JSON) put away, in its order.
std::vector<std::string> stowedUrls(const nlohmann::json& stage) {
  std::vector<std::string> urls;
  for (const auto& item : stage["stowed"]) {
    if (item["kind"] == "tab") urls.push_back(item["url"].get<std::string>());
  }
  return urls;
}

struct RealBrowser {
  std::string name;  // as the companion's host names it
  BrowserKind kind;
  std::string windowClass;
  std::string titleSuffix;
};
const RealBrowser kChromium{"chromium", BrowserKind::chrome, "Chromium", " - Chromium"};
const RealBrowser kFirefox{"firefox", BrowserKind::firefox, "firefox-esr",
                           " \u2014 Mozilla Firefox"};

// The browser with two windows: one with the alpha and beta pages, one with the gamma page
// in front. `runtime` is where the companion's host looks for the application's socket.
class BrowserTest : public ::testing::TestWithParam<RealBrowser> {
 protected:
  void openWindows(const std::filesystem::path& runtime) {
    std::vector<std::string> args = {"env", "XDG_RUNTIME_DIR=" + runtime.string()};
    if (browser.kind == BrowserKind::firefox) {
      writeFirefoxProfile(desktop, profile.path());
      args.insert(args.end(), {"firefox-esr", "--profile", profile.path().string()});
    } else {
      // The companion from the source folder, and every *.test host at the page server.
      writeHostManifest(profile / "NativeMessagingHosts", false);
      const auto chromium = testing::chromiumArguments(profile.path());
      args.insert(args.end(), chromium.begin(), chromium.end());
      args.insert(args.end(),
                  {"--load-extension=" + std::string(TERVANE_SOURCE_DIR) + "/companion",
                   "--disable-features=DisableLoadExtensionCommandLineSwitch,HttpsUpgrades",
                   "--host-resolver-rules=MAP *.test 127.0.0.1:" + std::to_string(pages.port())});
    }
    auto first = args;
    first.insert(first.end(), {url("alpha", "/one"), url("beta", "/two")});
    desktop.launch(first);
    alpha = xWindow("alpha page");
    // A second start hands the address to the running browser and ends.
    args.insert(args.end(), {"--new-window", url("gamma", "/three")});
    ASSERT_EQ(desktop.run(args, 60), 0);
    gamma = xWindow("gamma page");
  }

  // Chromium maps every *.test host to the page server; Firefox resolves it to loopback.
  std::string url(const std::string& host, const std::string& path) const {
    const std::string port =
        browser.kind == BrowserKind::firefox ? ":" + std::to_string(pages.port()) : "";
    return "http://" + host + ".test" + port + path;
  }
  // The browser's window titled `title`, once it shows (90 s at most).
  xcb_window_t xWindow(const std::string& title) {
    std::optional<xcb_window_t> found;
    desktop.waitUntil(
        [&] {
          for (const auto& w : readClients(desktop.x(), desktop.clients(), true)) {
            if (w.className == browser.windowClass && w.title == title + browser.titleSuffix) {
              found = w.window;
            }
          }
          return found.has_value();
        },
        90);
    if (!found) throw std::runtime_error("no " + browser.windowClass + " window titled " + title);
    return *found;
  }
  nlohmann::json preview(testing::AppUnderTest& app) {
    const auto run = app.command({"preview", "write the report", "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    return nlohmann::json::parse(run.out, nullptr, false);
  }
  void start(testing::AppUnderTest& app, xcb_window_t front) {
    ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(front)}), 0);
    ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
    const auto started = app.command({"start"});
    ASSERT_EQ(started.status, 0) << started.err;
  }

  const RealBrowser& browser = GetParam();
  testing::XTestDesktop desktop;
  testing::TempDir profile;
  PageServer pages;
  xcb_window_t alpha = 0, gamma = 0;
};

// Through the companion the browser names itself and its profile and every tab is read.
// Without it (a platform with no companions) the browser is its windows: each one tab
// named by the window's title, with no address, minimized and restored as X11 windows and
// read back so.
TEST_P(BrowserTest, TabsAreReadThroughTheCompanionAndWindowsWithoutIt) {
  testing::TempDir runtime;
  const auto folder = runtime / "tervane-now";
  ASSERT_TRUE(posix::securePrivateFolder(folder).ok());
  std::shared_ptr<companion::CompanionServer> companions =
      companion::CompanionServer::start(folder / companion::kSocketName).value();
  openWindows(runtime.path());
  ASSERT_TRUE(companions->awaitLinks(1, 60)) << "the companion did not connect";
  EXPECT_EQ(companions->links().at(0)->browser(), browser.name);
  EXPECT_EQ(companions->links().at(0)->profile(), profile.path().string());

  X11Platform::Options options;
  options.stateFolder = desktop.home() / "state";
  options.companions = companions;
  X11Platform platform(XConnection::open(desktop.display()).value(), options);
  auto surface = platform.browserSurface();
  EXPECT_FALSE(surface->seesWindowsOnly(browser.kind));
  auto windows = surface->windows(browser.kind);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  EXPECT_EQ(windows.value()[0].tabs,
            (std::vector<TabFacts>{{"gamma page", url("gamma", "/three"), true}}));
  const auto& back = windows.value()[1].tabs;
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0], (TabFacts{"alpha page", url("alpha", "/one"), true}));
  EXPECT_EQ(back[1].host(), "beta.test");

  options.companions = nullptr;
  X11Platform alone(XConnection::open(desktop.display()).value(), options);
  surface = alone.browserSurface();
  EXPECT_TRUE(surface->seesWindowsOnly(browser.kind));
  auto read = surface->windows(browser.kind);
  ASSERT_TRUE(read.ok()) << read.error();
  ASSERT_EQ(read.value().size(), 2u);
  EXPECT_EQ(read.value()[0].windowId, gamma);
  EXPECT_EQ(read.value()[0].tabs, (std::vector<TabFacts>{{"gamma page", "", true}}));
  EXPECT_EQ(read.value()[1].windowId, alpha);
  EXPECT_EQ(surface->minimize({alpha, gamma}, browser.kind).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, true) && desktop.waitIconic(gamma, true));
  EXPECT_EQ(surface->restore({alpha, gamma}, browser.kind).value(), 2);
  EXPECT_TRUE(desktop.waitIconic(alpha, false) && desktop.waitIconic(gamma, false));
}

// The application itself: the preview reads real tabs through it (a preview has no
// companion of its own), a stage minimizes the window behind, the application is killed,
// and after a relaunch Show everything brings the window back.
TEST_P(BrowserTest, AfterACrashShowEverythingBringsBackWhatTheCompanionMinimized) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder());
  const std::vector<std::string> behind{url("alpha", "/one"), url("beta", "/two")};
  // The preview reads tabs through the application once the companion has connected.
  const auto linked = app.command({"status", "--until", "companion"});
  ASSERT_EQ(linked.status, 0) << linked.out << app.output();
  const auto previewed = preview(app);
  EXPECT_EQ(stowedUrls(previewed["stage"]), behind) << previewed.dump();
  EXPECT_EQ(previewed["because"].get<std::string>().find("I see only"), std::string::npos);
  start(app, desktop.xterm("Editor"));
  // The front window is kept; the other, named by its real tabs, is minimized. The
  // browsers are staged after the reply to start, and journalled before they move.
  ASSERT_TRUE(desktop.waitIconic(alpha, true));
  EXPECT_FALSE(desktop.isIconic(gamma));
  EXPECT_EQ(stowedUrls(app.statusJson()["stage"]), behind);

  app.kill();
  app.launch();
  const auto shown = app.command({"show"});
  EXPECT_EQ(shown.status, 0) << shown.out << app.output();
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_FALSE(desktop.isIconic(gamma));
}

// Keep anyway on a stowed tab brings its window back with that tab in front, and the site
// is remembered: with the other window in front again, only it keeps this one.
TEST_P(BrowserTest, KeepAnywayOnATabBringsItForwardAndTheNextStageKeepsItsSite) {
  testing::AppUnderTest app(desktop);
  app.launch();
  openWindows(app.runtimeFolder());
  start(app, desktop.xterm("Editor"));
  ASSERT_TRUE(desktop.waitIconic(alpha, true));

  const auto status = app.statusJson();
  std::string beta;
  for (const auto& item : status["stage"]["stowed"]) {
    if (item.value("url", "") == url("beta", "/two")) beta = item["id"].get<std::string>();
  }
  ASSERT_EQ(beta.rfind(rawValue(browser.kind) + ":", 0), 0u) << status.dump();
  const auto kept = app.command({"keep", beta});
  ASSERT_EQ(kept.status, 0) << kept.out << kept.err;
  EXPECT_TRUE(desktop.waitIconic(alpha, false));
  EXPECT_TRUE(desktop.waitUntil([&] {
    const auto client = desktop.client(alpha);
    return client && client->title == "beta page" + browser.titleSuffix;
  })) << "the kept tab is in front";

  ASSERT_EQ(app.command({"done"}).status, 0);
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(gamma)}), 0);
  EXPECT_EQ(stowedUrls(preview(app)["stage"]), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(, BrowserTest, ::testing::Values(kChromium, kFirefox),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tervane::x11
