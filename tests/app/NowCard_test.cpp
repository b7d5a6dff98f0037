// The card over a real model, state by state, each state also written as a PNG; its line
// editor's length rule, growth and keys; the capture panel's content; and the tray bee
// that opens the card, read directly from its controller: no tray is needed.
#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <algorithm>
#include <cmath>

#include "app/card/CaptureField.h"
#include "app/tray/MenuBarController.h"
#include "support/CardFixture.h"

namespace tervane::testing {
namespace {

const std::string kLine = "Write the Q3 report";

template <class Row>
QStringList names(const std::vector<Row*>& rows) {
  QStringList out;
  for (auto* row : rows) out << row->name();
  return out;
}

ReceiptRow* row(ReceiptSection* section, const QString& name) {
  for (auto* row : section ? section->rows() : std::vector<ReceiptRow*>{}) {
    if (row->name() == name) return row;
  }
  return nullptr;
}

class NowCardTest : public CardFixture {
 protected:
  // The card over a desktop, showing a stage opened from its own "Start".
  void showStage(const std::string& desktop = "working") {
    load(desktop);
    showCard();
    model().capture(kLine);
    settle();
    click(card->start());
    ASSERT_TRUE(model().openStage());
  }
  // The person works in the editor and the browser, never opens the other four, and
  // finishes: the card asks about those four.
  void finishUsingOnlyEditorAndBrowser() {
    showStage();
    personActivates("com.example.Editor");
    personActivates("com.google.Chrome");
    click(card->finishStage());
    ASSERT_NE(card->question(), nullptr);
  }
  // Clicks the row's action; `click` fails on a missing row.
  void clickAction(ReceiptRow* row) { click(row, row ? row->actionRect().center() : QPoint()); }
};

TEST_F(NowCardTest, WithoutALineAsksForOneAndALineOffersStartAndFinished) {
  load();
  showCard();
  EXPECT_TRUE(card->assembled());
  EXPECT_TRUE(shown(card->prompt()));
  EXPECT_TRUE(shown(card->input()));
  EXPECT_FALSE(shown(card->line()));
  EXPECT_FALSE(shown(card->start()));
  writeScreen(*card, "card-no-line");

  // Return captures the draft and empties it; the card then shows the line.
  QTest::keyClicks(card->input()->editor(), QString::fromStdString(kLine));
  QTest::keyClick(card->input()->editor(), Qt::Key_Return);
  settle();
  ASSERT_TRUE(model().now());
  EXPECT_EQ(model().now()->textContent, kLine);
  EXPECT_TRUE(card->input()->text().isEmpty());
  EXPECT_FALSE(shown(card->prompt()));
  EXPECT_EQ(card->line()->text(), QString::fromStdString(kLine));
  EXPECT_TRUE(shown(card->start()));
  EXPECT_TRUE(card->start()->prominent());
  EXPECT_EQ(card->start()->shortcutHint(), NowCard::shortcutHint());
  EXPECT_TRUE(shown(card->finishLine()));
  EXPECT_FALSE(shown(card->stageHeader()));

  // The pointer over the verbs shows the keyboard hint, so it is in the picture.
  EXPECT_EQ(card->start()->shortcutOpacity(), 0);
  QTest::mouseMove(card->start());
  settle();
  EXPECT_NEAR(card->start()->shortcutOpacity(), 0.55, 1e-9);
  writeScreen(*card, "card-line");
  QTest::mouseMove(card->line());
  settle();
  EXPECT_EQ(card->start()->shortcutOpacity(), 0);

  // Closed with the pointer over the verbs, the card opens again without the hints.
  QTest::mouseMove(card->start());
  settle();
  card->hide();
  card->show();
  EXPECT_FALSE(card->verbsHovered());
  EXPECT_EQ(card->start()->shortcutOpacity(), 0);

  click(card->finishLine());
  EXPECT_FALSE(model().now());
  EXPECT_EQ(card->justFinished()->text(), "Finished: Write the Q3 report. Your apps are back.");
  EXPECT_TRUE(shown(card->undo()));
  EXPECT_TRUE(shown(card->input()));
  writeScreen(*card, "card-finished");

  click(card->undo());
  ASSERT_TRUE(model().now());
  EXPECT_EQ(model().now()->textContent, kLine);
  EXPECT_FALSE(shown(card->justFinished()));
  EXPECT_TRUE(shown(card->line()));
}

TEST_F(NowCardTest, AnOpenStageShowsWhatStayedWhatWentAndWhatCameForward) {
  showStage("small");
  personActivates("com.example.Slack");
  ASSERT_TRUE(session.shield->personAnswers(true));
  personActivates("com.example.Mail");
  ASSERT_TRUE(session.shield->personAnswers(false));
  settle();

  EXPECT_EQ(card->stageHeader()->text(), "I hid Mail and minimized 1 browser window.");
  EXPECT_TRUE(shown(card->note()));
  EXPECT_EQ(card->because()->text(), "Mail is hidden again, where it was.");

  auto* kept = card->receipt()->kept();
  auto* stowed = card->receipt()->stowed();
  auto* guard = card->receipt()->cameForward();
  ASSERT_TRUE(kept && stowed && guard);
  EXPECT_EQ(kept->summary(), "3 apps, 1 window, 2 tabs");
  EXPECT_EQ(names(kept->rows()),
            (QStringList{"Text Editor", "Google Chrome", "Slack", "Chrome window, 2 tabs"}));
  EXPECT_EQ(kept->rows()[0]->action(), "Hide this one too");
  EXPECT_EQ(stowed->summary(), "1 app, 1 window, 5 tabs");
  EXPECT_EQ(names(stowed->rows()), (QStringList{"Mail", "Chrome window, 5 tabs"}));
  EXPECT_EQ(stowed->rows()[0]->action(), "Show this one");
  EXPECT_EQ(guard->title(), "Came forward 2");
  ASSERT_EQ(names(guard->rows()), (QStringList{"Slack", "Mail"}));
  EXPECT_EQ(guard->rows()[0]->outcome(), "you needed it");
  EXPECT_EQ(guard->rows()[1]->outcome(), "went back");
  // A window row always has a chevron, an app row never.
  EXPECT_FALSE(stowed->rows()[0]->disclosed().has_value());
  EXPECT_EQ(stowed->rows()[1]->disclosed(), false);
  EXPECT_EQ(card->receipt()->height(), 300);  // 8 rows and 3 sections: 301, capped

  EXPECT_TRUE(shown(card->park()));
  EXPECT_FALSE(shown(card->resume()));
  EXPECT_TRUE(shown(card->showEverything()));
  EXPECT_EQ(card->finishStage()->title(), "Finished: Write the Q3 report");
  EXPECT_EQ(card->finishStage()->shortcutHint(), NowCard::shortcutHint());
  // The verbs that do not fit beside the others wrap, and the card grows to hold them.
  EXPECT_GT(card->finishStage()->mapTo(card.get(), QPoint()).y(),
            card->park()->mapTo(card.get(), QPoint()).y());
  EXPECT_LE(card->finishStage()->mapTo(card.get(), QPoint(0, card->finishStage()->height())).y(),
            card->height() - NowCard::kPadding);
  EXPECT_NEAR(card->bee()->opacity(), 0.9, 1e-9);
  EXPECT_TRUE(card->bee()->open());
  writeScreen(*card, "card-stage");

  // Paused: the card says for how long and offers to go back to it.
  click(card->park());
  ASSERT_TRUE(model().openStage()->isParked());
  EXPECT_EQ(card->stageHeader()->text(), "Paused. Your apps are still hidden.");

  // Minutes pass without the model changing; the card reads them when it is shown again.
  clock->advance(25 * 60 + 10);
  card->hide();
  card->show();
  settle();
  EXPECT_EQ(card->stageHeader()->text(), "Paused for 25 minutes. Your apps are still hidden.");
  EXPECT_FALSE(shown(card->note()));
  EXPECT_FALSE(shown(card->park()));
  EXPECT_TRUE(card->resume()->prominent());
  EXPECT_EQ(card->resume()->shortcutHint(), NowCard::shortcutHint());
  EXPECT_FALSE(card->finishStage()->shortcutHint().has_value());
  EXPECT_FALSE(card->bee()->open());
  EXPECT_NEAR(card->bee()->opacity(), 0.45, 1e-9);
  writeScreen(*card, "card-paused");

  click(card->resume());
  EXPECT_FALSE(model().openStage()->isParked());
  EXPECT_TRUE(shown(card->park()));
  EXPECT_TRUE(card->bee()->open());
}

TEST_F(NowCardTest, APendingQuestionListsFourNamesAndYesRemembersThem) {
  finishUsingOnlyEditorAndBrowser();
  EXPECT_EQ(card->question()->question(),
            "You did not open Terminal, Notes and the others at all while you were on Write "
            "the Q3 report. Should I hide them for you next time, right at the start?");
  EXPECT_EQ(card->question()->hideNames(), (QStringList{"Terminal", "Notes", "Calendar", "Music"}));
  EXPECT_TRUE(card->question()->keepNames().isEmpty());
  EXPECT_TRUE(shown(card->justFinished()));
  writeScreen(*card, "card-question");

  click(card->question()->yes());
  EXPECT_FALSE(model().pendingQuestion());
  EXPECT_EQ(card->question(), nullptr);
  for (const char* id :
       {"com.example.Terminal", "com.example.Notes", "com.example.Calendar", "com.example.Music"}) {
    EXPECT_EQ(model().memory().choices().at(id), StagePlanner::Remembered::stow) << id;
  }
}

TEST_F(NowCardTest, NoToTheQuestionRemembersNothing) {
  finishUsingOnlyEditorAndBrowser();
  const auto before = model().memory().choices();
  click(card->question()->no());
  EXPECT_FALSE(model().pendingQuestion());
  EXPECT_EQ(model().memory().choices(), before);
}

TEST_F(NowCardTest, RowActionsMoveRowsAndShowEverythingAndControlReturnEndTheStage) {
  showStage();
  // The chevron opens a window row to its hosts; that is the card's own business.
  ASSERT_EQ(card->receipt()->stowed()->windowRows().size(), 1u);
  auto* window = card->receipt()->stowed()->windowRows()[0];
  EXPECT_FALSE(window->expanded());
  const auto stage = model().openStage();
  click(window->row(), QPoint(30, 11));
  EXPECT_TRUE(window->expanded());
  EXPECT_EQ(window->row()->disclosed(), true);
  EXPECT_EQ(window->hostLines(), (QStringList{"github.com  3", "Local notes", "news.example.org"}));
  // A click on an app row outside its action does nothing.
  click(row(card->receipt()->stowed(), "Mail"), QPoint(20, 11));
  EXPECT_EQ(model().openStage(), stage);

  // "Show this one" on a hidden app: it comes back, moves to the kept rows, and is
  // remembered as one to keep; "Hide this one too" on a kept app is the mirror image.
  clickAction(row(card->receipt()->stowed(), "Photos"));
  EXPECT_FALSE(desktop().app("com.example.Photos")->isHidden);
  EXPECT_NE(row(card->receipt()->kept(), "Photos"), nullptr);
  EXPECT_EQ(row(card->receipt()->stowed(), "Photos"), nullptr);
  EXPECT_EQ(card->because()->text(), "Photos stays from now on, because you said so.");

  clickAction(row(card->receipt()->kept(), "Notes"));
  EXPECT_TRUE(desktop().app("com.example.Notes")->isHidden);
  EXPECT_NE(row(card->receipt()->stowed(), "Notes"), nullptr);

  // The receipt was drawn again; the open window stays open.
  ASSERT_EQ(card->receipt()->stowed()->windowRows().size(), 1u);
  window = card->receipt()->stowed()->windowRows()[0];
  EXPECT_TRUE(window->expanded());
  click(window->row(), QPoint(30, 11));
  EXPECT_FALSE(window->expanded());

  click(card->showEverything());
  EXPECT_FALSE(model().openStage());
  EXPECT_TRUE(shown(card->start()));
  EXPECT_TRUE(model().now());

  // Control-Return answers the prominent verb: Start, then the Finished verb.
  card->activateWindow();
  QTest::keyClick(card.get(), Qt::Key_Return, Qt::ControlModifier);
  settle();
  ASSERT_TRUE(model().openStage());
  QTest::keyClick(card.get(), Qt::Key_Return, Qt::ControlModifier);
  settle();
  EXPECT_FALSE(model().openStage());
  EXPECT_FALSE(model().now());
}

class CaptureInputTest : public CardFixture {
 protected:
  void SetUp() override {
    load();
    input = std::make_unique<CaptureInput>(*theme, /*large=*/false);
    input->setFixedWidth(NowCard::kWidth - 2 * NowCard::kPadding);
    input->show();
    QApplication::processEvents();
  }

  std::unique_ptr<CaptureInput> input;
};

TEST_F(CaptureInputTest, TypingPastTheLimitKeepsTheFirst160Characters) {
  QTest::keyClicks(input->editor(), QString(95, QLatin1Char('a')));
  EXPECT_FALSE(input->counterShown());
  QTest::keyClicks(input->editor(), QStringLiteral("b"));
  EXPECT_TRUE(input->counterShown());
  EXPECT_EQ(input->counter(), "96/160");

  QTest::keyClicks(input->editor(), QString(104, QLatin1Char('c')));
  const QString first160 = QString(95, QLatin1Char('a')) + 'b' + QString(64, QLatin1Char('c'));
  EXPECT_EQ(input->text(), first160);
  EXPECT_EQ(input->counter(), "160/160");
  // The caret stays at the end, so typing on changes nothing.
  QTest::keyClicks(input->editor(), QStringLiteral("zzz"));
  EXPECT_EQ(input->text(), first160);

  // Pasted text is cut by characters as seen: each "é" here is an e and a combining accent.
  input->setText({});
  QString accented;
  for (int i = 0; i < 200; ++i) accented += QStringLiteral("e\u0301");
  input->editor()->insertPlainText(accented);
  EXPECT_EQ(input->text().size(), 320);
  EXPECT_EQ(input->counter(), "160/160");
}

TEST_F(CaptureInputTest, GrowsFromOneToSixLinesAndScrollsBeyond) {
  EXPECT_EQ(input->visibleLines(), 1);
  const int oneLine = input->editor()->height();
  QTest::keyClicks(input->editor(), QStringLiteral("write the quarterly report for the board"));
  QApplication::processEvents();
  EXPECT_EQ(input->visibleLines(), 2);
  EXPECT_GT(input->editor()->height(), oneLine);
  QTest::keyClicks(input->editor(), QString(40, QLatin1Char(' ')) + QString(80, QLatin1Char('w')));
  QApplication::processEvents();
  EXPECT_EQ(input->visibleLines(), CaptureInput::kMaxLines);
  input->setText({});
  QApplication::processEvents();
  EXPECT_EQ(input->visibleLines(), 1);
  EXPECT_EQ(input->editor()->height(), oneLine);
}

TEST_F(CaptureInputTest, ReturnSubmitsAndNeverBreaksTheLineAndTheUnderlineFollowsFocus) {
  int submitted = 0;
  input->onSubmit = [&] { ++submitted; };
  QTest::keyClicks(input->editor(), QStringLiteral("one"));
  QTest::keyClick(input->editor(), Qt::Key_Return);
  QTest::keyClick(input->editor(), Qt::Key_Enter);
  QTest::keyClick(input->editor(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(submitted, 3);
  QTest::keyClick(input->editor(), Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClick(input->editor(), Qt::Key_Escape);
  EXPECT_EQ(submitted, 3);
  EXPECT_EQ(input->text(), "one");

  // The underline takes the accent while the editor has the keyboard.
  input->activateWindow();
  input->editor()->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(input->editor()->hasFocus());
  AnimationClock::instance().settle();
  EXPECT_EQ(input->focusProgress(), 1);
  input->editor()->clearFocus();
  AnimationClock::instance().settle();
  EXPECT_EQ(input->focusProgress(), 0);
}

TEST_F(CaptureInputTest, CaptureFieldCapturesOnReturnAndClosesOnEscape) {
  int closed = 0;
  CaptureField field(session.model, *theme, [&] { ++closed; });
  field.show();
  QApplication::processEvents();

  QTest::keyClick(field.input()->editor(), Qt::Key_Escape);
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(model().now());

  QTest::keyClicks(field.input()->editor(), QStringLiteral("  Call the bank  "));
  QTest::keyClick(field.input()->editor(), Qt::Key_Return);
  EXPECT_EQ(closed, 2);
  ASSERT_TRUE(model().now());
  EXPECT_EQ(model().now()->textContent, "Call the bank");
  EXPECT_TRUE(field.draft().isEmpty());
  writeScreen(field, "capture-field");
}

class MenuBarTest : public CardFixture {
 protected:
  void SetUp() override {
    load();
    battery(84);
    MenuBarOptions options;
    options.app = AppIdentity{"Linux", "1.4", "212"};
    options.powerSupplyFolder = power.path();
    MenuBarActions actions;
    actions.showWelcome = [this] { calls.push_back("welcome"); };
    actions.showHelp = [this] { calls.push_back("help"); };
    actions.isLoginItemOn = [this] { return loginOn; };
    actions.setLoginItem = [this](bool on) { calls.push_back(on ? "login on" : "login off"); };
    actions.quit = [this] { calls.push_back("quit"); };
    bar = std::make_unique<MenuBarController>(main, options, actions, [this](QWidget* parent) {
      return new NowCard(session.model, *theme, parent);
    });
    bar->install(session.model, *theme);
  }

  void battery(int percent) {
    std::filesystem::create_directories(power / "BAT0");
    writeText(power / "BAT0" / "type", "Battery\n");
    writeText(power / "BAT0" / "capacity", std::to_string(percent) + "\n");
  }

  // The rows of the bar menu as the person sees it when it opens.
  QStringList menuRows() {
    Q_EMIT bar->barMenu()->aboutToShow();
    QStringList rows;
    for (QAction* action : bar->barMenu()->actions()) {
      rows << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return rows;
  }
  QAction* row(const QString& title) {
    for (QAction* action : bar->barMenu()->actions()) {
      if (action->text() == title) return action;
    }
    return nullptr;
  }

  void startStage() {
    model().capture("Write the Q3 report");
    model().set(SeedRule::defaultRule());
    settle();
    ASSERT_TRUE(model().openStage());
  }

  TempDir power;
  std::unique_ptr<MenuBarController> bar;
  bool loginOn = true;
  std::vector<std::string> calls;
};

TEST_F(MenuBarTest, BarMenuRowsAndPictureFollowTheStageReachTheShellAndClicksToggleTheCard) {
  EXPECT_EQ(menuRows(),
            (QStringList{"Tervane Now for Linux 1.4 (212)", "-", "How Tervane Now works…", "Help",
                         "-", "Updates come with your package manager", "Open at login", "-",
                         "Quit Tervane Now"}));
  // Without an update check (as on Linux) the row only says how updates come.
  EXPECT_FALSE(row("Updates come with your package manager")->isEnabled());
  EXPECT_TRUE(row("Open at login")->isChecked());

  // Built afresh each time it opens: the check mark follows the login item.
  loginOn = false;
  menuRows();
  EXPECT_FALSE(row("Open at login")->isChecked());
  for (const char* t : {"Open at login", "How Tervane Now works…", "Help", "Quit Tervane Now"})
    row(t)->trigger();
  EXPECT_EQ(calls, (std::vector<std::string>{"login on", "welcome", "help", "quit"}));

  // The tray shows the picture the controller says it shows; the last row says what
  // quitting does.
  using Picture = MenuBarBee::Picture;
  const auto expectStage = [&](Picture picture, const QString& quit) {
    EXPECT_EQ(bar->picture(), picture);
    EXPECT_EQ(bar->trayIcon()->icon().cacheKey(), bar->bee().icon(picture).cacheKey());
    EXPECT_EQ(menuRows().last(), quit);
  };
  expectStage(Picture::rest, "Quit Tervane Now");
  startStage();
  expectStage(Picture::act, "Bring everything back and quit");
  model().park();
  settle();
  expectStage(Picture::steppedOut, "Bring everything back and quit");
  model().bringBack(false);
  settle();
  expectStage(Picture::rest, "Quit Tervane Now");

  // Opening the menu or a right click closes the card; a left click toggles it.
  ASSERT_NE(bar->card(), nullptr);
  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(bar->isCardShown());
  Q_EMIT bar->barMenu()->aboutToShow();
  EXPECT_FALSE(bar->isCardShown());

  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Trigger);
  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(bar->isCardShown());
  bar->openCard();
  bar->openCard();
  EXPECT_TRUE(bar->isCardShown());
  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Context);
  EXPECT_FALSE(bar->isCardShown());
}

TEST(MenuBarBee, PicturesAreDrawnInTheirColoursAndReadOnLightAndDarkPanels) {
  using Picture = MenuBarBee::Picture;
  const auto pixels = [](const QImage& image) {
    std::vector<QRgb> out;
    for (int i = 0; i < image.width() * image.height(); ++i) {
      out.push_back(image.pixel(i % image.width(), i / image.width()));
    }
    return out;
  };
  // The most opaque pixel of each picture carries its colour.
  const auto strongest = [&](const QImage& image) {
    const auto all = pixels(image);
    return QColor::fromRgba(qUnpremultiply(*std::max_element(
        all.begin(), all.end(), [](QRgb a, QRgb b) { return qAlpha(a) < qAlpha(b); })));
  };
  const QColor panelText(30, 200, 40);
  const MenuBarBee bee(panelText);
  EXPECT_EQ(strongest(bee.image(Picture::rest)).rgba(), panelText.rgba());
  EXPECT_EQ(strongest(bee.image(Picture::act)).rgb(), MenuBarBee::actColour().rgb());
  EXPECT_NEAR(strongest(bee.image(Picture::steppedOut)).alpha(), 0.45 * 255, 1.5);
  // Open and closed wings are different outlines.
  EXPECT_NE(bee.image(Picture::rest).convertToFormat(QImage::Format_Alpha8),
            bee.image(Picture::act).convertToFormat(QImage::Format_Alpha8));

  // Without the panel's colours every bee is legible on light and dark panels: drawn over
  // a grey panel, its pixels' grey stands well apart from it. The stepped-out bee is the
  // resting one faded on purpose.
  for (Picture picture : {Picture::rest, Picture::act}) {
    for (const int panel : {246, 28}) {
      int covered = 0, legible = 0;
      for (const QRgb pixel : pixels(MenuBarBee().image(picture))) {
        if (qAlpha(pixel) < 128) continue;
        ++covered;
        legible += qAlpha(pixel) * std::abs(qGray(pixel) - panel) >= 90 * 255;
      }
      ASSERT_GT(covered, 0);
      EXPECT_GT(legible, covered / 6) << panel << " " << static_cast<int>(picture);
    }
  }
}

TEST_F(MenuBarTest, BatteryIsReadEveryMinuteOnlyWhileAStageRuns) {
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
  startStage();
  EXPECT_EQ(bar->toolTip(), "Tervane Now 84%");
  EXPECT_EQ(bar->trayIcon()->toolTip(), "Tervane Now 84%");

  battery(80);
  main->advance(59);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 84%");
  main->advance(1);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 80%");

  model().park();
  settle();
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
  battery(70);
  main->advance(120);
  EXPECT_EQ(bar->toolTip(), "Tervane Now");

  // Resumed: read at once, and one timer only however often the stage resumes.
  model().resume();
  settle();
  EXPECT_EQ(bar->toolTip(), "Tervane Now 70%");
  const auto timers = main->pending();
  bar->refresh();
  bar->refresh();
  EXPECT_EQ(main->pending(), timers);
  battery(60);
  main->advance(60);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 60%");

  // A machine without an internal battery shows nothing.
  std::filesystem::remove_all(power.path() / "BAT0");
  main->advance(60);
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
}

TEST(MenuBarPopover, OpensUnderTheBeeOrAtThePointerInsideTheScreen) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize card(340, 200);
  // Under the bee, centred on it.
  EXPECT_EQ(popoverOrigin(QRect(1700, 0, 24, 24), {5, 5}, card, screen), QPoint(1542, 28));
  // Near the right edge: kept on screen.
  EXPECT_EQ(popoverOrigin(QRect(1890, 0, 24, 24), {5, 5}, card, screen), QPoint(1580, 28));
  // A tray at the foot of the screen: above the bee.
  EXPECT_EQ(popoverOrigin(QRect(1700, 1056, 24, 24), {5, 5}, card, screen), QPoint(1542, 852));
  // No geometry from the tray: at the pointer.
  EXPECT_EQ(popoverOrigin(QRect(), {800, 10}, card, screen), QPoint(630, 14));
}

}  // namespace
}  // namespace tervane::testing
