// A run of text in one of the look's faces and tones: wrapped over as many lines as the
// width needs (breaking inside a word only when a word alone is too wide), or kept on one
// line and cut with an ellipsis at its end or in its middle. Used for every text of the
// card and the panels, so their colours follow the tint and their heights follow the width.
#pragma once

#include <QFont>
#include <QWidget>

#include "app/paint/Tone.h"
#include "base/Signal.h"
#include "look/ThemeManager.h"

namespace tervane {

class TText : public QWidget {
  Q_OBJECT

 public:
  enum class Wrap { lines, elideEnd, elideMiddle };

  TText(ThemeManager& theme, QFont font, Tone tone, Wrap wrap = Wrap::lines,
        QWidget* parent = nullptr);

  void setText(const QString& text);
  QString text() const { return text_; }
  // The text as it is shown now: cut when it does not fit on its line.
  QString shownText() const;
  void setTone(Tone tone);
  Tone tone() const { return tone_; }
  void setTextFont(const QFont& font);
  const QFont& textFont() const { return font_; }
  // An extra opacity multiplied into the tone, for transitions.
  void setOpacity(double opacity);
  double opacity() const { return opacity_; }
  // Left (the default) or right, for one-line text.
  void setAlignment(Qt::Alignment alignment);

  bool hasHeightForWidth() const override { return wrap_ == Wrap::lines; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  ThemeManager& theme() const { return theme_; }

 private:
  void changed();

  ThemeManager& theme_;
  QFont font_;
  Tone tone_;
  Wrap wrap_;
  QString text_;
  double opacity_ = 1;
  Qt::Alignment alignment_ = Qt::AlignLeft;
  Signal<TervaneTint>::Connection tintConnection_;
};

// The section label style: Figtree 10 medium, upper case, letter spacing 1.2, ink at 0.6.
class SectionLabel final : public TText {
  Q_OBJECT

 public:
  SectionLabel(ThemeManager& theme, const QString& text, QWidget* parent = nullptr);
  // Shown upper case.
  void setLabel(const QString& text);
};

}  // namespace tervane
