// The card over a real model, state by state, each state also written as a PNG; its line
// editor's length rule, growth and keys; the capture panel's content.
#include "app/card/CaptureField.h"
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
  EXPECT_EQ(card->question(), nullptr);
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

}  // namespace
}  // namespace tervane::testing
