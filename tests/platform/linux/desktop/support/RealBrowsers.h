// What the tests with real browsers (Debian's Chromium and Firefox ESR) share: a loopback
// server whose pages are titled after the host they were asked for (so
// "http://alpha.test/one" reads "alpha page" under any name the browser maps to it), the
// browsers' command lines with a throwaway profile and the companion from this build, the
// host manifest that lets them start the companion's host, and the addresses of the tabs
// a stage put away.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/XTestDesktop.h"

namespace tervane::testing {

class PageServer {
 public:
  PageServer();
  ~PageServer();
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;
  int port() const;

 private:
  struct Running;
  std::unique_ptr<Running> running_;
};

// Writes now.tervane.companion.json into `folder`, naming the host program of this build;
// `gecko` writes Firefox's form (the add-on's id) instead of Chromium's (the origin).
void writeHostManifest(const std::filesystem::path& folder, bool gecko);

// The addresses of the tabs a stage (its JSON) put away, in its order.
std::vector<std::string> stowedUrls(const nlohmann::json& stage);

// `chromiumArguments` (XTestDesktop.h) with the companion loaded from the source folder, its host
// reaching the socket under `runtime`, and every *.test host served by `pages`. The host's manifest
// goes into the profile.
std::vector<std::string> companionChromiumArguments(const std::filesystem::path& profile,
                                                    const std::filesystem::path& runtime,
                                                    const PageServer& pages);

// Makes `profile` a fresh Firefox profile: with `companion`, the add-on from this build in
// the profile's extensions folder (let in unsigned) and the host's manifest under the
// desktop's home, where Firefox reads it. Every host name resolves to loopback, so
// `firefoxUrl` addresses reach `pages`.
void writeFirefoxProfile(XTestDesktop& desktop, const std::filesystem::path& profile,
                         bool companion);
// Firefox ESR on that profile, its companion's host reaching the socket under `runtime`.
// A second start with the same profile hands its addresses to the running browser.
std::vector<std::string> firefoxArguments(const std::filesystem::path& profile,
                                          const std::filesystem::path& runtime);
std::string firefoxUrl(const PageServer& pages, const std::string& host, const std::string& path);

// The browser window of this class titled `title` plus the browser's suffix, once it shows
// (90 s at most); throws when it does not.
xcb_window_t browserWindow(XTestDesktop& desktop, const std::string& className,
                           const std::string& title);

}  // namespace tervane::testing
