// tervane-card: the now card in a window of its own, driving a real session model on a
// simulated desktop, for trying the card and for screenshots.
//
//   tervane-card --desktop desktop.json [--line "Write the report"] [--start]
//                [--tint violet] [--state DIR] [--screenshot card.png]
//
// tests/app/desktops/working.json is a desktop to start from.
//
// Without --state the stage journal and settings live in a temporary folder, so trying
// the card never touches the person's own state.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <fstream>
#include <iostream>

#include "app/card/NowCard.h"
#include "app/paint/AppFonts.h"
#include "app/qt/QtMainQueue.h"
#include "app/qt/QtOffMainRunner.h"
#include "app/tools/card/CardDesktop.h"
#include "base/Defaults.h"
#include "base/Json.h"
#include "base/Text.h"
#include "look/ThemeManager.h"

using namespace tervane;

int main(int argc, char** argv) {
  CLI::App cli{"The Tervane Now card on a simulated desktop."};
  std::string desktopPath;
  std::string line;
  std::string tintName;
  std::string stateFolder;
  std::string screenshot;
  bool start = false;
  cli.add_option("--desktop", desktopPath, "the desktop description (JSON)")
      ->required()
      ->check(CLI::ExistingFile);
  cli.add_option("--line", line, "a line to capture before the card opens");
  cli.add_flag("--start", start, "start a stage for the line, as the card's Start does");
  cli.add_option("--tint", tintName, "slate, ochre, olive, sand, violet or carbon");
  cli.add_option("--state", stateFolder, "folder for the journal and settings (kept)");
  cli.add_option("--screenshot", screenshot,
                 "write the card to this PNG once it settles, then quit");
  CLI11_PARSE(cli, argc, argv);

  std::ifstream in(desktopPath);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto description = jsonread::parse(text);
  if (!description) {
    std::cerr << "tervane-card: " << desktopPath << " is not JSON\n";
    return 2;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tervane Now"));
  AppFonts::load();

  QTemporaryDir temporary;
  const std::filesystem::path state = stateFolder.empty()
                                          ? std::filesystem::path(temporary.path().toStdString())
                                          : std::filesystem::path(stateFolder);
  auto main = std::make_shared<QtMainQueue>();
  CardDesktop::Options options;
  options.clock = std::make_shared<SystemClock>();
  options.main = main;
  options.offMain = std::make_shared<QtOffMainRunner>(main);
  options.standardDefaults = std::make_shared<FileDefaults>(state / "standard.json");
  options.sharedDefaults = std::make_shared<FileDefaults>(state / "shared.json");
  options.journalFolder = state / "journal";
  auto session = CardDesktop::make(*description, options);
  if (!session) {
    std::cerr << "tervane-card: " << session.error().message << "\n";
    return 2;
  }
  auto& model = session.value().model;
  ThemeManager theme(*session.value().store);
  if (!tintName.empty()) {
    const auto tint = tintFromRaw(Text::asciiUpper(tintName));
    if (!tint) {
      std::cerr << "tervane-card: no tint named " << tintName << "\n";
      return 2;
    }
    theme.setTint(*tint);
  }
  model->recoverIfNeeded();
  if (!line.empty()) model->capture(line);
  if (start) model->set(SeedRule::defaultRule());

  QWidget window;
  window.setWindowTitle(QStringLiteral("Tervane Now"));
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  auto* card = new NowCard(model, theme, &window);
  layout->addWidget(card);
  window.show();

  if (!screenshot.empty()) {
    QTimer::singleShot(1200, &window, [&] {
      QImage image(card->size() * 2, QImage::Format_ARGB32_Premultiplied);
      image.setDevicePixelRatio(2);
      card->render(&image);
      if (!image.save(QString::fromStdString(screenshot))) {
        std::cerr << "tervane-card: could not write " << screenshot << "\n";
      }
      QApplication::quit();
    });
  }
  const int status = QApplication::exec();
  // Quitting brings back what the stage put away, as the application does.
  model->prepareToQuit();
  return status;
}
