// `cmake --install` of this build folder as the package stages it (prefix /usr under a
// fresh DESTDIR): the programs, the companion with its host manifests, the desktop entry
// and the bee icon land where a desktop and the browsers look for them, and nothing else
// does.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"

namespace tervane {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::TempDir;

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

std::set<std::string> filesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), root).string());
  }
  return files;
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(Install, PutsTheProgramsTheCompanionTheDesktopEntryAndTheIconInPlace) {
  TempDir root;
  ASSERT_EQ(
      run("DESTDIR=" + quoted(root.path()) + " " + std::string(TERVANE_CMAKE) + " --install " +
          quoted(TERVANE_BUILD_ROOT) + " --prefix /usr > " + quoted(root / "log") + " 2>&1"),
      0)
      << readText(root / "log");
  fs::remove(root / "log");

  const char* const manifests[] = {
      "etc/chromium/native-messaging-hosts/now.tervane.companion.json",
      "etc/opt/chrome/native-messaging-hosts/now.tervane.companion.json",
      "etc/opt/brave/native-messaging-hosts/now.tervane.companion.json",
      "etc/opt/edge/native-messaging-hosts/now.tervane.companion.json"};
  std::set<std::string> expected = {
      "usr/bin/tervane-now", "usr/bin/tervane-script", "usr/bin/tervane-now-host",
      "usr/share/tervane-now/companion/manifest.json",
      "usr/share/tervane-now/companion/background.js",
      "usr/share/tervane-now/companion/requests.js",
      "usr/share/tervane-now/companion@tervane.now.xpi",
      "usr/lib/mozilla/native-messaging-hosts/now.tervane.companion.json",
      "usr/lib/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/companion@tervane.now.xpi",
      "usr/share/applications/org.tervane.now.desktop",
      "usr/share/icons/hicolor/scalable/apps/tervane-now.svg",
      "usr/share/icons/hicolor/48x48/apps/tervane-now.png",
      "usr/share/icons/hicolor/256x256/apps/tervane-now.png"};
  expected.insert(std::begin(manifests), std::end(manifests));
  // The GNOME Shell extension: system-wide for this GNOME, and both builds for the install
  // command.
  for (const char* folder :
       {"usr/share/gnome-shell/extensions/", "usr/share/tervane-now/gnome-extension/legacy/",
        "usr/share/tervane-now/gnome-extension/modern/"}) {
    for (const char* file : {"extension.js", "metadata.json"}) {
      expected.insert(std::string(folder) + "tervane-now@tervane.now/" + file);
    }
  }
  EXPECT_EQ(filesUnder(root.path()), expected);
  const fs::path prefix = root / "usr";

  // Each names the installed host and lets only the companion's fixed id reach it.
  for (const char* manifest : manifests) {
    const auto parsed = nlohmann::json::parse(readText(root / manifest));
    EXPECT_EQ(parsed["name"], "now.tervane.companion") << manifest;
    EXPECT_EQ(parsed["path"], "/usr/bin/tervane-now-host") << manifest;
    EXPECT_EQ(parsed["allowed_origins"],
              nlohmann::json({"chrome-extension://edbimddlcdmnaiandepgmpcoddnomaak/"}))
        << manifest;
    EXPECT_EQ(fs::status(root / manifest).permissions() & fs::perms::others_read,
              fs::perms::others_read)
        << manifest;
  }

  const auto firefox = nlohmann::json::parse(
      readText(prefix / "lib/mozilla/native-messaging-hosts/now.tervane.companion.json"));
  EXPECT_EQ(firefox["path"], "/usr/bin/tervane-now-host");
  EXPECT_EQ(firefox["allowed_extensions"], nlohmann::json({"companion@tervane.now"}));

  EXPECT_EQ(run(quoted(prefix / "bin/tervane-now") + " --help > /dev/null"), 0)
      << "the installed program runs";

  const auto entry = prefix / "share/applications/org.tervane.now.desktop";
  const std::string text = readText(entry);
  for (const char* line : {"Type=Application\n", "Exec=tervane-now\n", "Icon=tervane-now\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  if (run("command -v desktop-file-validate > /dev/null") == 0) {
    EXPECT_EQ(run("desktop-file-validate " + quoted(entry)), 0);
  }

  const std::string svg = readText(prefix / "share/icons/hicolor/scalable/apps/tervane-now.svg");
  // One outline of the bee in its design square.
  for (const char* once : {"<path ", "viewBox=\"0 0 750 750\""}) {
    EXPECT_NE(svg.find(once), std::string::npos) << once;
    EXPECT_EQ(svg.find(once), svg.rfind(once)) << once;
  }

  for (const auto& [size, file] :
       {std::pair{48u, "share/icons/hicolor/48x48/apps/tervane-now.png"},
        std::pair{256u, "share/icons/hicolor/256x256/apps/tervane-now.png"}}) {
    const std::string png = readText(prefix / file);
    ASSERT_GT(png.size(), 24u) << file;
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << file;
    EXPECT_EQ(bigEndian(png, 16), size) << file;
    EXPECT_EQ(bigEndian(png, 20), size) << file;
  }
}

}  // namespace
}  // namespace tervane
