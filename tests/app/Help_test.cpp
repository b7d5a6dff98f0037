// The help panel: copying the address, the system line, the files folder, closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "app/panels/HelpView.h"
#include "data/Store.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

namespace tervane::testing {
namespace {

class HelpTest : public ::testing::Test {
 protected:
  HelpView& open() {
    HelpOptions options;
    options.app = AppIdentity{"Linux", "1.4", "212"};
    options.system = SystemIdentity{"Debian GNU/Linux", "12"};
    options.filesFolder = folder;
    options.openUrl = [this](const QUrl& url) {
      opened.push_back(url);
      return true;
    };
    view = std::make_unique<HelpView>(theme, options, [this] { ++closes; });
    view->show();
    AnimationClock::instance().settle();
    return *view;
  }

  TempDir dir;
  std::filesystem::path folder = dir / "state" / "tervane-now";
  MemoryDefaults defaults;
  Store store{defaults};
  ThemeManager theme{store};
  std::unique_ptr<HelpView> view;
  std::vector<QUrl> opened;
  int closes = 0;
};

TEST_F(HelpTest, CopiesTheAddressAndSaysSo) {
  auto& help = open();
  QApplication::clipboard()->setText("something else");
  QTest::mouseClick(help.addressRow(), Qt::LeftButton);
  QTest::mouseClick(help.addressRow(), Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), kSupportAddress);
  EXPECT_EQ(help.copyLabel(), "Copied");
  EXPECT_EQ(help.systemLine()->text(), "Tervane Now for Linux 1.4 (212), Debian GNU/Linux 12");
  writeScreen(help, "help");

  // Opened again, it starts with "Copy".
  EXPECT_EQ(open().copyLabel(), "Copy");
}

TEST_F(HelpTest, ShowMyFilesOpensTheSameFolderAndReturnAndEscapeClose) {
  auto& help = open();
  QTest::mouseClick(help.showFiles(), Qt::LeftButton);
  QTest::mouseClick(help.showFiles(), Qt::LeftButton);
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(folder.string()));
  EXPECT_EQ(opened, (std::vector<QUrl>{url, url}));
  // The folder exists before the file manager is asked to show it.
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(closes, 0);

  QTest::keyClick(&help, Qt::Key_Return);
  QTest::keyClick(&help, Qt::Key_Escape);
  QTest::mouseClick(help.closeVerb(), Qt::LeftButton);
  EXPECT_EQ(closes, 3);
}

TEST(HelpSystem, ReadsTheSystemFromOsRelease) {
  TempDir dir;
  writeText(dir / "os-release", "NAME=\"Fedora Linux\"\nVERSION_ID=40\n");
  const auto system = readSystemIdentity(dir / "os-release", dir / "missing");
  EXPECT_EQ(TervaneContact::systemLine(AppIdentity{"Linux", "1.4", ""}, system),
            "Tervane Now for Linux 1.4 (), Fedora Linux 40");
  writeText(dir / "fallback", "NAME=Debian\n");
  EXPECT_EQ(readSystemIdentity(dir / "missing", dir / "fallback").name, "Debian");
  EXPECT_EQ(readSystemIdentity(dir / "missing", dir / "missing too").name, "Linux");
}

}  // namespace
}  // namespace tervane::testing
