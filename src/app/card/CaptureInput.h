// The line editor of the card and the capture panel: a plain text field in Space Grotesk
// light (24 points, 28 when large) that grows from one to six lines and scrolls beyond,
// the placeholder "Type it, press Return" while empty, an underline that takes the accent
// while the field has focus, and the length rule: text of 161 or more characters is cut to
// its first 160, and from 96 characters on a counter ("96/160") is shown. Return submits;
// the field never holds a line break typed with Return. It takes focus whenever shown.
#pragma once

#include <QTextEdit>
#include <QWidget>
#include <functional>

#include "app/paint/AnimatedValue.h"
#include "app/paint/TText.h"
#include "base/Signal.h"
#include "look/ThemeManager.h"

namespace tervane {

class CaptureInput final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxLines = 6;
  static constexpr int kUnderlineGap = 6;

  CaptureInput(ThemeManager& theme, bool large, QWidget* parent = nullptr);

  // The draft: the text as the field keeps it.
  QString text() const;
  void setText(const QString& text);
  // Called on Return.
  std::function<void()> onSubmit;

  // How many lines the field shows now (1 … 6).
  int visibleLines() const { return visibleLines_; }
  // "96/160" from the 96th character on; empty below.
  QString counter() const;
  bool counterShown() const;
  QTextEdit* editor() const;
  // How far the underline has turned to the accent: 0 … 1.
  double focusProgress() const { return focus_.value(); }

 Q_SIGNALS:
  void textChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Editor;
  void textEdited();
  void fitHeight();
  double lineHeight() const;

  ThemeManager& theme_;
  QFont font_;
  Editor* editor_;
  TText* counter_;
  AnimatedValue focus_{0};
  int visibleLines_ = 1;
  bool cutting_ = false;
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
