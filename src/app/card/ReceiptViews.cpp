#include "app/card/ReceiptViews.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

#include "app/paint/AppFonts.h"
#include "app/paint/TBecause.h"
#include "look/Motion.h"
#include "words/ReceiptWords.h"

namespace tervane {
namespace {

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

QFont bodyFont() {
  return AppFonts::figtree(12);
}

// The baseline that centres one line of `font` in a row of `height`.
double centredBaseline(const QFont& font, double height) {
  const QFontMetricsF metrics(font);
  return (height + metrics.ascent() - metrics.descent()) / 2;
}

// The 22-point gap above a later section, with a hairline 10 points down.
QWidget* sectionGap(QWidget* parent) {
  auto* gap = new TColumn(parent);
  gap->setFixedHeight(22);
  gap->column()->setContentsMargins(0, 10, 0, 11);
  gap->column()->addWidget(new THairline(gap));
  return gap;
}

// A section header: the title in the section label style and, on the same baseline at
// the right, the summary in Figtree 12, ink at 0.6.
class SectionHeader final : public QWidget {
 public:
  SectionHeader(ThemeManager& theme, QString title, QString summary, QWidget* parent)
      : QWidget(parent), theme_(theme), title_(title.toUpper()), summary_(std::move(summary)) {
    setFixedHeight(ReceiptSection::kHeaderHeight);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QFont label = AppFonts::sectionLabel();
    const QFont body = bodyFont();
    // The header's text sits in its first 18 points; the rest is the gap above the rows.
    const double baseline = centredBaseline(body, 18);
    const QColor dimmed = Tone::dimmed().resolve(theme_.tint());
    painter.setPen(dimmed);
    painter.setFont(label);
    painter.drawText(QPointF(ReceiptRow::kPadding, baseline), title_);
    if (!summary_.isEmpty()) {
      painter.setFont(body);
      const double width = QFontMetricsF(body).horizontalAdvance(summary_);
      painter.drawText(QPointF(this->width() - ReceiptRow::kPadding - width, baseline), summary_);
    }
  }

 private:
  ThemeManager& theme_;
  QString title_;
  QString summary_;
};

}  // namespace

// ---- Entrance ------------------------------------------------------------------------

RowEntrance::RowEntrance(QWidget* row) {
  QObject::connect(&value_, &AnimatedValue::valueChanged, row, [row] { row->update(); });
}

void RowEntrance::enter(int rowNumber) {
  value_.animateTo(1, TMacMotion::settle, TMacMotion::delay(rowNumber));
}

void RowEntrance::setEntered() {
  value_.setValue(1);
}

// ---- Receipt row ---------------------------------------------------------------------

ReceiptRow::ReceiptRow(ThemeManager& theme, QString name, QString action,
                       std::optional<bool> disclosed, QWidget* parent)
    : QWidget(parent),
      theme_(theme),
      name_(std::move(name)),
      action_(std::move(action)),
      disclosed_(disclosed) {
  setFixedHeight(kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setMouseTracking(true);
  if (disclosed_) setCursor(Qt::PointingHandCursor);
  turn_.setValue(disclosed_.value_or(false) ? 1 : 0);
  for (auto* value : {&hover_, &turn_}) {
    connect(value, &AnimatedValue::valueChanged, this, [this] { update(); });
  }
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

void ReceiptRow::setDisclosed(bool disclosed) {
  if (!disclosed_ || *disclosed_ == disclosed) return;
  disclosed_ = disclosed;
  turn_.animateTo(disclosed ? 1 : 0, TMacMotion::state);
}

QRect ReceiptRow::actionRect() const {
  const QFontMetricsF metrics(bodyFont());
  const int width = static_cast<int>(std::ceil(metrics.horizontalAdvance(action_)));
  return {this->width() - kPadding - width, 0, width, kHeight};
}

void ReceiptRow::setHovering(bool hovering) {
  if (hovering == hovering_) return;
  hovering_ = hovering;
  hover_.animateTo(hovering ? 1 : 0, TMacMotion::hover);
}

void ReceiptRow::hideEvent(QHideEvent* event) {
  // The card closed under the pointer: no leave comes, and the row must open unlit.
  if (hovering_) {
    hovering_ = false;
    hover_.setValue(0);
  }
  QWidget::hideEvent(event);
}

void ReceiptRow::enterEvent(QEnterEvent* event) {
  setHovering(true);
  QWidget::enterEvent(event);
}

void ReceiptRow::leaveEvent(QEvent* event) {
  setHovering(false);
  QWidget::leaveEvent(event);
}

void ReceiptRow::mouseMoveEvent(QMouseEvent* event) {
  setHovering(rect().contains(event->position().toPoint()));
  QWidget::mouseMoveEvent(event);
}

void ReceiptRow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  setHovering(true);
  pressedOnAction_ = actionRect().contains(event->position().toPoint());
  event->accept();
}

void ReceiptRow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  const QPoint at = event->position().toPoint();
  event->accept();
  if (!rect().contains(at)) return;
  // The action is a button of its own; a click anywhere else opens or closes the row.
  if (pressedOnAction_ && actionRect().contains(at)) {
    if (onTap) onTap();
  } else if (onDisclose) {
    onDisclose();
  }
}

void ReceiptRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const TervaneTint tint = theme_.tint();
  const double entered = std::clamp(entrance_.progress(), 0.0, 1.0);
  if (entered <= 0) return;
  painter.setOpacity(entered);
  painter.translate(0, RowEntrance::kDrop * (1 - entrance_.progress()));

  const double hover = std::clamp(hover_.value(), 0.0, 1.0);
  if (hover > 0) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(Tone::surface(hover).resolve(tint));
    painter.drawRoundedRect(QRectF(rect()), kBackgroundRadius, kBackgroundRadius);
  }

  const QFont font = bodyFont();
  const double baseline = centredBaseline(font, kHeight);
  double x = kPadding;
  if (disclosed_) {
    // The chevron: a right-pointing angle, turned a quarter while the row is open.
    painter.save();
    painter.translate(x + kChevronWidth / 2.0, kHeight / 2.0);
    painter.rotate(90 * turn_.value());
    QPainterPath chevron;
    chevron.moveTo(-1.6, -3.4);
    chevron.lineTo(1.8, 0);
    chevron.lineTo(-1.6, 3.4);
    QPen pen(Tone::dimmed().resolve(tint), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(chevron);
    painter.restore();
    x += kChevronWidth + kChevronGap;
  }

  const QRect action = actionRect();
  const double nameWidth = (hover > 0 ? action.left() - 8 : width() - kPadding) - x;
  painter.setFont(font);
  painter.setPen(Tone::ink(0.6 + 0.4 * hover).resolve(tint));
  const QString shown = QFontMetricsF(font).elidedText(name_, Qt::ElideRight, nameWidth);
  painter.drawText(QPointF(x, baseline), shown);

  if (hover > 0) {
    painter.setPen(Tone::accent(hover).resolve(tint));
    painter.drawText(QPointF(action.left(), baseline), action_);
  }
}

// ---- Window row ----------------------------------------------------------------------

WindowRow::WindowRow(ThemeManager& theme, const Receipt::Row& row, QString action, bool expanded,
                     QWidget* parent)
    : TColumn(parent), expanded_(expanded) {
  auto* layout = column();
  row_ = new ReceiptRow(theme, qs(row.item.name), std::move(action), expanded, this);
  layout->addWidget(row_);
  auto* hosts = new TColumn(this);
  hosts_ = hosts;
  auto* hostLayout = hosts->column();
  hostLayout->setContentsMargins(ReceiptRow::kPadding + kHostIndent, 0, 0, 0);
  for (const auto& host : Receipt::byHost(row.tabs)) {
    auto* text = new TText(theme, bodyFont(), Tone::dimmed(), TText::Wrap::elideEnd, hosts_);
    text->setText(qs(host.label()));
    text->setFixedHeight(ReceiptRow::kHeight - 4);
    hostLayout->addWidget(text);
    hostTexts_.push_back(text);
  }
  layout->addWidget(hosts_);
  hosts_->setVisible(expanded_);
  reveal_.setValue(expanded_ ? 1 : 0);
  connect(&reveal_, &AnimatedValue::valueChanged, this, [this](double value) {
    for (auto* text : hostTexts_) text->setOpacity(std::clamp(value, 0.0, 1.0));
  });

  row_->onTap = [this] {
    if (onTap) onTap();
  };
  row_->onDisclose = [this] {
    setExpanded(!expanded_);
    if (onExpandedChanged) onExpandedChanged(expanded_);
  };
}

void WindowRow::setExpanded(bool expanded) {
  if (expanded == expanded_) return;
  expanded_ = expanded;
  row_->setDisclosed(expanded);
  // The host lines appear with a fade; closing takes them away at once.
  hosts_->setVisible(expanded);
  if (expanded) {
    reveal_.setValue(0);
    reveal_.animateTo(1, TMacMotion::state);
  } else {
    reveal_.setValue(0);
  }
}

QStringList WindowRow::hostLines() const {
  QStringList lines;
  for (auto* text : hostTexts_) lines << text->text();
  return lines;
}

// ---- Sections ------------------------------------------------------------------------

ReceiptSection::ReceiptSection(ThemeManager& theme, QString title,
                               const std::vector<StageItem>& items, QString action,
                               std::function<void(const StageItem&)> onTap,
                               const std::set<std::string>& expandedWindows,
                               std::function<void(const std::string&, bool)> onExpandedChanged,
                               QWidget* parent)
    : TColumn(parent), title_(std::move(title)), summary_(qs(ReceiptWords::summary(items))) {
  auto* layout = column();
  layout->addWidget(new SectionHeader(theme, title_, summary_, this));
  for (const auto& row : Receipt::rows(items)) {
    const StageItem item = row.item;
    if (item.kind == StageItem::Kind::window) {
      auto* window = new WindowRow(theme, row, action, expandedWindows.count(item.id) > 0, this);
      window->onTap = [onTap, item] { onTap(item); };
      window->onExpandedChanged = [onExpandedChanged, id = item.id](bool expanded) {
        onExpandedChanged(id, expanded);
      };
      layout->addWidget(window);
      rows_.push_back(window->row());
      windowRows_.push_back(window);
    } else {
      auto* app = new ReceiptRow(theme, qs(item.name), action, std::nullopt, this);
      app->onTap = [onTap, item] { onTap(item); };
      layout->addWidget(app);
      rows_.push_back(app);
    }
  }
}

GuardRow::GuardRow(ThemeManager& theme, const GuardEvent& event, QWidget* parent)
    : QWidget(parent),
      theme_(theme),
      name_(qs(event.name)),
      outcome_(event.letThrough ? QStringLiteral("you needed it") : QStringLiteral("went back")) {
  setFixedHeight(ReceiptRow::kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GuardRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const double entered = std::clamp(entrance_.progress(), 0.0, 1.0);
  if (entered <= 0) return;
  painter.setOpacity(entered);
  painter.translate(0, RowEntrance::kDrop * (1 - entrance_.progress()));
  const QFont font = bodyFont();
  const QFontMetricsF metrics(font);
  const double baseline = centredBaseline(font, ReceiptRow::kHeight);
  const double outcomeWidth = metrics.horizontalAdvance(outcome_);
  const double outcomeX = width() - ReceiptRow::kPadding - outcomeWidth;
  painter.setFont(font);
  painter.setPen(Tone::ink().resolve(theme_.tint()));
  // A long name is cut in its middle, so both its start and its end stay readable.
  painter.drawText(QPointF(ReceiptRow::kPadding, baseline),
                   metrics.elidedText(name_, Qt::ElideMiddle, outcomeX - 8 - ReceiptRow::kPadding));
  painter.setPen(Tone::dimmed().resolve(theme_.tint()));
  painter.drawText(QPointF(outcomeX, baseline), outcome_);
}

GuardSection::GuardSection(ThemeManager& theme, const std::vector<GuardEvent>& events,
                           QWidget* parent)
    : TColumn(parent) {
  auto* layout = column();
  layout->addWidget(new SectionHeader(
      theme, QStringLiteral("Came forward ") + QString::number(events.size()), {}, this));
  for (const auto& event : events) {
    auto* row = new GuardRow(theme, event, this);
    layout->addWidget(row);
    rows_.push_back(row);
  }
}

QString GuardSection::title() const {
  return QStringLiteral("Came forward ") + QString::number(rows_.size());
}

// ---- The scrolling receipt -----------------------------------------------------------

ReceiptView::ReceiptView(ThemeManager& theme, QWidget* parent)
    : QScrollArea(parent), theme_(theme) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The receipt lies on the card's background.
  setAutoFillBackground(false);
  viewport()->setAutoFillBackground(false);
  setStyleSheet(QStringLiteral(
      "QScrollBar:vertical { background: transparent; width: 6px; margin: 0; }"
      "QScrollBar::handle:vertical { background: rgba(243, 243, 245, 60); border-radius: 3px;"
      " min-height: 24px; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
}

void ReceiptView::setStage(const StageSnapshot& stage, bool assembled) {
  // The old rows may be in the middle of handling the click that changed the stage, so
  // they are let go of later rather than deleted now.
  if (QWidget* old = takeWidget()) {
    old->hide();
    old->deleteLater();
  }
  kept_ = stowed_ = nullptr;
  guard_ = nullptr;
  auto* content = new TColumn;
  auto* layout = content->column();

  auto remember = [this](const std::string& id, bool expanded) {
    if (expanded) {
      expanded_.insert(id);
    } else {
      expanded_.erase(id);
    }
  };
  if (!stage.kept.empty()) {
    kept_ = new ReceiptSection(
        theme_, QStringLiteral("Still on your screen"), stage.kept,
        QStringLiteral("Hide this one too"),
        [this](const StageItem& item) {
          if (onStowAlso) onStowAlso(item);
        },
        expanded_, remember, content);
    layout->addWidget(kept_);
  }
  if (!stage.stowed.empty()) {
    if (kept_) layout->addWidget(sectionGap(content));
    stowed_ = new ReceiptSection(
        theme_, QStringLiteral("Hidden by me"), stage.stowed, QStringLiteral("Show this one"),
        [this](const StageItem& item) {
          if (onKeepAnyway) onKeepAnyway(item);
        },
        expanded_, remember, content);
    layout->addWidget(stowed_);
  }
  const auto events = stage.events();
  if (!events.empty()) {
    layout->addWidget(sectionGap(content));
    guard_ = new GuardSection(theme_, events, content);
    layout->addWidget(guard_);
  }
  layout->addStretch(1);
  setWidget(content);
  // Setting the widget turned its background filling on; the receipt lies on the card's.
  content->setAutoFillBackground(false);
  setFixedHeight(static_cast<int>(std::lround(Receipt::receiptHeight(stage))));
  // Rows are numbered per section from the items listed before it: the kept section from
  // 0, the hidden one from the number of kept items, what came forward after both.
  entrances_.clear();
  auto number = [this](ReceiptSection* section, int start) {
    if (!section) return;
    int position = 0;
    for (auto* row : section->rows()) entrances_.emplace_back(&row->entrance(), start + position++);
  };
  const int keptCount = static_cast<int>(stage.kept.size());
  const int stowedCount = static_cast<int>(stage.stowed.size());
  number(kept_, 0);
  number(stowed_, keptCount);
  if (guard_) {
    int position = 0;
    for (auto* row : guard_->rows()) {
      entrances_.emplace_back(&row->entrance(), keptCount + stowedCount + position++);
    }
  }
  if (assembled) {
    for (auto& [entrance, row] : entrances_) entrance->setEntered();
  }
}

void ReceiptView::enter() {
  for (auto& [entrance, row] : entrances_) entrance->enter(row);
}

}  // namespace tervane
