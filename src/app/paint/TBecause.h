// The look's smaller shared pieces. `THairline`: a rule 1 point high in ink at 0.14,
// optionally inset from both sides. `TBecause`: one reason line, a bar 2 points wide in the
// accent at 0.45 beside the text in Figtree 12, ink at 0.6, wrapped to the width.
#pragma once

#include <QWidget>

#include "app/paint/TText.h"
#include "base/Signal.h"
#include "look/ThemeManager.h"

namespace tervane {

class THairline final : public QWidget {
  Q_OBJECT

 public:
  explicit THairline(QWidget* parent = nullptr, int inset = 0);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int inset_;
};

class TBecause final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kBarWidth = 2;
  static constexpr int kGap = 8;

  TBecause(ThemeManager& theme, const QString& text = {}, QWidget* parent = nullptr);

  void setText(const QString& text);
  QString text() const { return text_->text(); }

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  ThemeManager& theme_;
  TText* text_;
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
