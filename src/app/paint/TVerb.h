// The look's buttons. `TVerb` is a capsule: filled with the tint's accent when prominent,
// outlined in it otherwise, its title in Figtree 14 medium followed, when it has one, by a
// keyboard hint in Figtree 10 medium that fades in (to 0.55) while the row of verbs it sits
// in is hovered. `TVerbRow` is that row: verbs side by side, 8 points apart, telling each
// verb whether the pointer is over the row; verbs that do not fit beside the others go on
// to a next line, and a verb wider than the row is cut with an ellipsis. `TPlainButton` is
// a bare text button (the card's "Undo").
#pragma once

#include <QAbstractButton>
#include <functional>
#include <optional>
#include <vector>

#include "app/paint/AnimatedValue.h"
#include "app/paint/Tone.h"
#include "base/Signal.h"
#include "look/ThemeManager.h"

namespace tervane {

class TVerbRow;

class TVerb final : public QAbstractButton {
  Q_OBJECT

 public:
  static constexpr double kHeight = 32;
  static constexpr double kPadding = 16;
  static constexpr double kHintGap = 6;
  static constexpr double kHintOpacity = 0.55;

  TVerb(ThemeManager& theme, const QString& title, bool prominent = false,
        std::optional<QString> shortcut = std::nullopt, QWidget* parent = nullptr);

  QString title() const { return text(); }
  void setTitle(const QString& title);
  bool prominent() const { return prominent_; }
  void setProminent(bool prominent);
  const std::optional<QString>& shortcutHint() const { return shortcut_; }
  void setShortcutHint(std::optional<QString> shortcut);

  // Fades the hint in or out with the hover motion, or shows or hides it at once.
  void setShowShortcut(bool show, bool animated = true);
  bool showShortcut() const { return showShortcut_; }
  // The hint's opacity as painted now: 0 … 0.55.
  double shortcutOpacity() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void changedSize();

  ThemeManager& theme_;
  bool prominent_;
  std::optional<QString> shortcut_;
  bool showShortcut_ = false;
  AnimatedValue hint_{0};
  AnimatedValue hover_{0};
  Signal<TervaneTint>::Connection tintConnection_;
};

class TVerbRow final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSpacing = 8;

  explicit TVerbRow(QWidget* parent = nullptr);

  // Appends a verb; the row owns it. Hidden verbs take no place.
  void addVerb(TVerb* verb);
  const std::vector<TVerb*>& verbs() const { return verbs_; }
  // A verb was shown, hidden, retitled or given a hint: the verbs are placed again and the
  // row's height may change.
  void verbChanged();

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  bool hovered() const { return hovered_; }
  // Called whenever the pointer enters or leaves the row.
  std::function<void(bool)> onHoverChanged;

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void setHovered(bool hovered, bool animated = true);
  // Places the shown verbs in `width`; gives the height they take.
  int place(int width, bool apply);

  std::vector<TVerb*> verbs_;
  bool hovered_ = false;
};

class TPlainButton final : public QAbstractButton {
  Q_OBJECT

 public:
  TPlainButton(ThemeManager& theme, const QString& title, QFont font, Tone tone,
               QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ThemeManager& theme_;
  QFont font_;
  Tone tone_;
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
