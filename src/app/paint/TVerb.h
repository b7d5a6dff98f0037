// The look's buttons. `TVerb` is a capsule: filled with the tint's accent when prominent,
// outlined in it otherwise, its title in Figtree 14 medium followed, when it has one, by a
// keyboard hint in Figtree 10 medium that fades in (to 0.55) while the row of verbs it sits
// in is hovered. `TVerbRow` is that row: verbs side by side, 8 points apart, telling each
// verb whether the pointer is over the row. `TPlainButton` is a bare text button (the
// card's "Undo").
#pragma once

#include <QAbstractButton>
#include <QHBoxLayout>
#include <functional>
#include <optional>
#include <vector>

#include "app/paint/AnimatedValue.h"
#include "app/paint/Tone.h"
#include "base/Signal.h"
#include "look/ThemeManager.h"

namespace tervane {

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

  // Fades the hint in or out with the hover motion.
  void setShowShortcut(bool show);
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

  // Appends a verb; the row owns it.
  void addVerb(TVerb* verb);
  // Removes and deletes every verb.
  void clear();
  const std::vector<TVerb*>& verbs() const { return verbs_; }

  bool hovered() const { return hovered_; }
  // Called whenever the pointer enters or leaves the row.
  std::function<void(bool)> onHoverChanged;

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void setHovered(bool hovered);

  QHBoxLayout* layout_;
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
