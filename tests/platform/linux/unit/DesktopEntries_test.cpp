#include "linux/DesktopEntries.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace tervane::x11 {
namespace {

using testing::TempDir;
using testing::writeText;

void entry(const std::filesystem::path& file, const std::string& body) {
  std::filesystem::create_directories(file.parent_path());
  writeText(file, "[Desktop Entry]\nType=Application\n" + body);
}

// The name of a window's application: StartupWMClass beats a file name and earlier
// folders win; the instance, the letter case, locales, escapes and entries installed later.
TEST(DesktopEntries, NamesFollowTheEntriesAsADesktopReadsThem) {
  TempDir dir;
  const auto home = dir / "home/applications";
  const auto system = dir / "system/applications";
  entry(system / "foo.desktop", "Name=Foo by file name\n");
  entry(system / "org.example.Editor.desktop", "Name=Editor\nStartupWMClass=Foo\n");
  entry(system / "xterm.desktop", "Name=System XTerm\n");
  entry(home / "xterm.desktop", "Name=My XTerm\n");
  // A hidden entry in the home folder deletes the system one of the same id.
  entry(home / "xclock.desktop", "Name=Clock\nHidden=true\n");
  entry(system / "xclock.desktop", "Name=System Clock\n");
  // Only the main group counts.
  writeText(system / "actions.desktop",
            "[Desktop Entry]\nType=Application\nName=Main\n[Desktop Action new]\nName=Other\n"
            "StartupWMClass=Actions\n");

  DesktopEntries entries({home, system, dir / "missing"}, "");
  EXPECT_EQ(entries.nameFor("Foo", "foo"), "Editor");
  EXPECT_EQ(entries.nameFor("XTerm", "xterm"), "My XTerm");
  EXPECT_EQ(entries.nameFor("XClock", "xclock"), std::nullopt);
  EXPECT_EQ(entries.nameFor("Actions", "actions"), "Main");
  EXPECT_EQ(entries.nameFor("Unknown", "unknown"), std::nullopt);
  EXPECT_EQ(entries.nameFor("", ""), std::nullopt);

  const auto apps = dir / "applications";
  // Chromium's entry names its instance ("chromium"); the class is "Chromium".
  entry(apps / "chromium.desktop", "Name=Chromium Web Browser\nStartupWMClass=chromium\n");
  entry(apps / "kde/konsole.desktop", "Name=Konsole\n");
  entry(apps / "files.desktop", "Name=Files\nName[de]=Dateien\nName[de_AT]=Dateien AT\n");
  entry(apps / "notes.desktop", "Name=Notes\\sand\\sLists\n");
  entries = DesktopEntries({apps}, "");
  EXPECT_EQ(entries.nameFor("Chromium", "chromium (/tmp/profile)"), "Chromium Web Browser");
  EXPECT_EQ(entries.nameFor("kde-konsole", "x"), "Konsole");
  EXPECT_EQ(entries.nameFor("Files", ""), "Files");
  EXPECT_EQ(entries.nameFor("Notes", ""), "Notes and Lists");
  EXPECT_EQ(DesktopEntries({apps}, "de_AT").nameFor("Files", ""), "Dateien AT");
  EXPECT_EQ(DesktopEntries({apps}, "de_CH").nameFor("Files", ""), "Dateien");

  EXPECT_EQ(entries.nameFor("Late", ""), std::nullopt);
  entry(apps / "late.desktop", "Name=Late Arrival\n");
  // Folder times can be coarse; make the change visible whatever the file system.
  std::filesystem::last_write_time(
      apps, std::filesystem::last_write_time(apps) + std::chrono::seconds(5));
  entries.refreshIfChanged();
  EXPECT_EQ(entries.nameFor("Late", ""), "Late Arrival");
}

}  // namespace
}  // namespace tervane::x11
