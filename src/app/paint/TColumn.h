// A vertical stack without spacing or margins of its own, whose height follows its
// content: when something inside grows or shrinks (a line wraps anew, a row opens, a verb
// moves to a second line) the column tells its own parent, so a card of fixed width takes
// the height its content needs at that width.
#pragma once

#include <QVBoxLayout>
#include <QWidget>

namespace tervane {

class TColumn : public QWidget {
  Q_OBJECT

 public:
  explicit TColumn(QWidget* parent = nullptr);

  QVBoxLayout* column() const { return column_; }

 protected:
  bool event(QEvent* event) override;

 private:
  QVBoxLayout* column_;
};

}  // namespace tervane
