// The line editor's length rule, growth and keys, and the capture panel's content.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "app/card/CaptureField.h"
#include "app/card/CaptureInput.h"
#include "support/CardFixture.h"

namespace tervane::testing {
namespace {

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

TEST_F(CaptureInputTest, ReturnSubmitsAndNeverBreaksTheLine) {
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
}

TEST_F(CaptureInputTest, TheUnderlineTakesTheAccentWhileFocused) {
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
