// The smaller pieces of the walk-through: the step dots (one per screen, the current one
// drawn as a capsule, each showing its screen's title as a tooltip), the close mark, the
// tinted check box of the login choice, and the illustrations at the head of each screen
// (decoration, 84 points high, in the tint's colours).
#pragma once

#include <QAbstractButton>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

#include "app/paint/AnimatedValue.h"
#include "base/Signal.h"
#include "look/ThemeManager.h"

namespace tervane {

class StepDots final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDot = 6;
  static constexpr int kCapsule = 18;
  static constexpr int kSpacing = 6;

  StepDots(ThemeManager& theme, QStringList titles, QWidget* parent = nullptr);

  void setCurrent(int index);
  int current() const { return current_; }
  int count() const { return static_cast<int>(titles_.size()); }
  // The dot under a point of the widget, or −1.
  int dotAt(const QPoint& point) const;
  QRect dotRect(int index) const;
  const QStringList& titles() const { return titles_; }

  std::function<void(int)> onSelect;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  ThemeManager& theme_;
  QStringList titles_;
  int current_ = 0;
  int hovering_ = -1;
  Signal<TervaneTint>::Connection tintConnection_;
};

// A small × that closes the panel.
class CloseMark final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CloseMark(ThemeManager& theme, QWidget* parent = nullptr);
  QSize sizeHint() const override { return {22, 22}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  ThemeManager& theme_;
  AnimatedValue hover_{0};
};

// A check box in the look: a rounded box filled with the accent when ticked, and its label
// in Figtree 12.
class TCheck final : public QAbstractButton {
  Q_OBJECT

 public:
  static constexpr int kBox = 14;
  static constexpr int kGap = 8;

  TCheck(ThemeManager& theme, const QString& label, QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ThemeManager& theme_;
  Signal<TervaneTint>::Connection tintConnection_;
};

// The shortcut list of the last screen: per line the keys in a column of their own
// (empty for a cleared shortcut) and what the shortcut does, both in Figtree 12.
class HotkeyList final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 20;
  static constexpr int kGap = 10;

  HotkeyList(ThemeManager& theme, std::vector<std::pair<QString, QString>> rows, int keysWidth,
             QWidget* parent = nullptr);
  const std::vector<std::pair<QString, QString>>& rows() const { return rows_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ThemeManager& theme_;
  std::vector<std::pair<QString, QString>> rows_;
  int keysWidth_;
  Signal<TervaneTint>::Connection tintConnection_;
};

class FirstRunIllustration final : public QWidget {
  Q_OBJECT

 public:
  enum class Kind { crowded, oneLine, clearing, receipt, restored, menuBar };
  static constexpr int kHeight = 84;
  static constexpr int kWidth = 300;

  FirstRunIllustration(ThemeManager& theme, Kind kind, QWidget* parent = nullptr);
  Kind kind() const { return kind_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ThemeManager& theme_;
  Kind kind_;
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
