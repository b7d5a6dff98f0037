// The content of the shield: a dimmed backdrop over the whole screen and, in its middle,
// a card that names the one thing the person set everything aside for and the item that
// just came forward, with two answers: "Back to it" (also Return and Escape) and "I need
// this". Every length is multiplied by the screen's scale (the shorter side over 640, kept
// within 1.15 … 1.4). The view reports one answer; the controller then dismisses it.
#pragma once

#include <QWidget>
#include <functional>

#include "app/paint/AnimatedValue.h"
#include "app/paint/BeeMark.h"
#include "app/paint/TText.h"
#include "app/paint/TVerb.h"
#include "look/ThemeManager.h"

class QGraphicsOpacityEffect;
class QHBoxLayout;
class QVBoxLayout;

namespace tervane {

class ShieldView final : public QWidget {
  Q_OBJECT

 public:
  // Lengths before scaling, in points.
  static constexpr double kCardWidth = 440;
  static constexpr double kInset = 30;
  static constexpr double kCornerRadius = 22;
  static constexpr double kHeaderBee = 14;
  static constexpr double kHeaderGap = 14;
  static constexpr double kHeadlineGap = 18;
  static constexpr double kLineGap = 26;
  static constexpr double kMinSpacer = 16;
  static constexpr double kRestingBee = 26;
  static constexpr double kGlowSize = 300;
  static constexpr double kGlowX = -70;
  static constexpr double kGlowY = -110;
  // Not scaled.
  static constexpr int kButtonSpacing = 10;
  static constexpr double kBackdropOpacity = 0.45;
  static constexpr double kEntranceOffset = 8;
  static constexpr double kEntranceDelay = 0.14;

  // `onAnswer(true)`: "I need this"; false: back to the one thing.
  ShieldView(ThemeManager& theme, const QString& actionText, const QString& subjectName,
             std::function<void(bool)> onAnswer, QWidget* parent = nullptr);

  double scale() const { return scale_; }
  bool shown() const { return shown_; }
  bool answered() const { return answered_; }

  QWidget* card() const;
  TText* headline() const { return headline_; }
  TText* line() const { return line_; }
  TVerb* goBack() const { return goBack_; }
  TVerb* needThis() const { return needThis_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class Card;
  void answer(bool letThrough);
  void applyScale();
  void placeCard();

  ThemeManager& theme_;
  std::function<void(bool)> onAnswer_;
  double scale_ = 0;
  bool shown_ = false;
  bool answered_ = false;

  Card* card_ = nullptr;
  QVBoxLayout* column_ = nullptr;
  QHBoxLayout* header_ = nullptr;
  QHBoxLayout* buttons_ = nullptr;
  BeeMark* headerBee_ = nullptr;
  BeeMark* restingBee_ = nullptr;
  SectionLabel* label_ = nullptr;
  TText* headline_ = nullptr;
  TText* line_ = nullptr;
  TVerb* goBack_ = nullptr;
  TVerb* needThis_ = nullptr;
  QGraphicsOpacityEffect* cardOpacity_ = nullptr;
  AnimatedValue backdrop_{0};
  AnimatedValue entrance_{0};
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
