// The receipt of an open stage as the card shows it: sections of rows ("Still on your
// screen", "Hidden by me") with a summary in their header, a window row that discloses its
// tabs' web hosts under a chevron, the rows of what came forward during the stage, and the
// scrolling area that holds them at the receipt's fixed height.
//
// Every row takes part in the card's entrance: before the card is first shown a row is
// transparent and 5 points low; `enter(row)` settles it in, later by 0.022 s per row.
// Rows never change the model themselves: a row's action hands its item to the callback.
#pragma once

#include <QScrollArea>
#include <QWidget>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/paint/AnimatedValue.h"
#include "app/paint/TColumn.h"
#include "app/paint/TText.h"
#include "base/Signal.h"
#include "look/CardLayout.h"
#include "look/ThemeManager.h"
#include "stage/StageRecords.h"

namespace tervane {

// Opacity and offset of a row's entrance, shared by every kind of row.
class RowEntrance {
 public:
  static constexpr double kDrop = 5;

  explicit RowEntrance(QWidget* row);
  // Settles the row in with the settle motion after its stagger (`TMacMotion::delay`).
  void enter(int rowNumber);
  void setEntered();
  double progress() const { return value_.value(); }

 private:
  AnimatedValue value_{0};
};

class ReceiptRow final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 22;
  static constexpr int kPadding = 6;
  static constexpr int kChevronWidth = 10;
  static constexpr int kChevronGap = 4;
  static constexpr double kBackgroundRadius = 7;

  // `disclosed`: none for a row that cannot be opened, else whether it is open.
  ReceiptRow(ThemeManager& theme, QString name, QString action, std::optional<bool> disclosed,
             QWidget* parent = nullptr);

  std::function<void()> onTap;
  std::function<void()> onDisclose;

  QString name() const { return name_; }
  QString action() const { return action_; }
  std::optional<bool> disclosed() const { return disclosed_; }
  void setDisclosed(bool disclosed);
  bool hovering() const { return hovering_; }
  // Where the action sits; it is shown and answers only while the row is hovered.
  QRect actionRect() const;
  RowEntrance& entrance() { return entrance_; }

  QSize sizeHint() const override { return {200, kHeight}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void setHovering(bool hovering);

  ThemeManager& theme_;
  QString name_;
  QString action_;
  std::optional<bool> disclosed_;
  bool hovering_ = false;
  bool pressedOnAction_ = false;
  AnimatedValue hover_{0};
  AnimatedValue turn_{0};
  RowEntrance entrance_{this};
  Signal<TervaneTint>::Connection tintConnection_;
};

// A window's row and, while expanded, one line per web host of its tabs.
class WindowRow final : public TColumn {
  Q_OBJECT

 public:
  static constexpr int kHostIndent = 18;

  WindowRow(ThemeManager& theme, const Receipt::Row& row, QString action, bool expanded,
            QWidget* parent = nullptr);

  std::function<void()> onTap;
  // Told when the person opens or closes the row, so the card can keep it open across
  // redraws.
  std::function<void(bool)> onExpandedChanged;

  ReceiptRow* row() const { return row_; }
  bool expanded() const { return expanded_; }
  void setExpanded(bool expanded);
  // The host lines as shown while expanded: "github.com  3".
  QStringList hostLines() const;

 private:
  QWidget* hosts_;
  ReceiptRow* row_;
  std::vector<TText*> hostTexts_;
  AnimatedValue reveal_{0};
  bool expanded_ = false;
};

class ReceiptSection final : public TColumn {
  Q_OBJECT

 public:
  static constexpr int kHeaderHeight = 27;

  ReceiptSection(ThemeManager& theme, QString title, const std::vector<StageItem>& items,
                 QString action, std::function<void(const StageItem&)> onTap,
                 const std::set<std::string>& expandedWindows,
                 std::function<void(const std::string&, bool)> onExpandedChanged,
                 QWidget* parent = nullptr);

  QString title() const { return title_; }
  QString summary() const { return summary_; }
  // Every row in order: apps, then windows.
  const std::vector<ReceiptRow*>& rows() const { return rows_; }
  const std::vector<WindowRow*>& windowRows() const { return windowRows_; }

 private:
  QString title_;
  QString summary_;
  std::vector<ReceiptRow*> rows_;
  std::vector<WindowRow*> windowRows_;
};

class GuardRow final : public QWidget {
  Q_OBJECT

 public:
  GuardRow(ThemeManager& theme, const GuardEvent& event, QWidget* parent = nullptr);

  QString name() const { return name_; }
  QString outcome() const { return outcome_; }
  RowEntrance& entrance() { return entrance_; }
  QSize sizeHint() const override { return {200, ReceiptRow::kHeight}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ThemeManager& theme_;
  QString name_;
  QString outcome_;
  RowEntrance entrance_{this};
};

class GuardSection final : public TColumn {
  Q_OBJECT

 public:
  GuardSection(ThemeManager& theme, const std::vector<GuardEvent>& events,
               QWidget* parent = nullptr);

  QString title() const;
  const std::vector<GuardRow*>& rows() const { return rows_; }

 private:
  SectionLabel* label_;
  std::vector<GuardRow*> rows_;
};

// The scrolling receipt of one stage, at `Receipt::receiptHeight`.
class ReceiptView final : public QScrollArea {
  Q_OBJECT

 public:
  explicit ReceiptView(ThemeManager& theme, QWidget* parent = nullptr);

  std::function<void(const StageItem&)> onStowAlso;
  std::function<void(const StageItem&)> onKeepAnyway;

  // Rebuilds the sections for the snapshot. Rows enter at once when `assembled`, else
  // they wait for `enter()`.
  void setStage(const StageSnapshot& stage, bool assembled);
  // The card was shown for the first time: every row settles in, staggered.
  void enter();

  ReceiptSection* kept() const { return kept_; }
  ReceiptSection* stowed() const { return stowed_; }
  GuardSection* cameForward() const { return guard_; }
  const std::set<std::string>& expandedWindows() const { return expanded_; }

 private:
  ThemeManager& theme_;
  ReceiptSection* kept_ = nullptr;
  ReceiptSection* stowed_ = nullptr;
  GuardSection* guard_ = nullptr;
  std::set<std::string> expanded_;
  // Each row's entrance with its row number.
  std::vector<std::pair<RowEntrance*, int>> entrances_;
};

}  // namespace tervane
