#include "app/card/CaptureInput.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <cmath>

#include "app/paint/AppFonts.h"
#include "look/CardLayout.h"
#include "look/Motion.h"

namespace tervane {

// Return submits instead of breaking the line; Escape and Control-Return go on to the
// field's owners (the capture panel closes, the card's prominent verb answers).
class CaptureInput::Editor final : public QTextEdit {
 public:
  Editor(CaptureInput* owner) : QTextEdit(owner), owner_(owner) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && !(event->modifiers() & Qt::ControlModifier)) {
      event->accept();
      if (owner_->onSubmit) owner_->onSubmit();
      return;
    }
    if (isReturn || event->key() == Qt::Key_Escape) {
      event->ignore();
      return;
    }
    QTextEdit::keyPressEvent(event);
  }

 private:
  CaptureInput* owner_;
};

CaptureInput::CaptureInput(ThemeManager& theme, bool large, QWidget* parent)
    : QWidget(parent),
      theme_(theme),
      font_(AppFonts::spaceGrotesk(large ? 28 : 24)),
      editor_(new Editor(this)),
      counter_(
          new TText(theme, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::elideEnd, this)) {
  editor_->setAcceptRichText(false);
  editor_->setFrameShape(QFrame::NoFrame);
  editor_->setFont(font_);
  editor_->document()->setDocumentMargin(0);
  editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  editor_->setPlaceholderText(QStringLiteral("Type it, press Return"));
  editor_->setTabChangesFocus(true);
  editor_->viewport()->setAutoFillBackground(false);
  editor_->setAutoFillBackground(false);
  QPalette palette = editor_->palette();
  palette.setColor(QPalette::Base, Qt::transparent);
  palette.setColor(QPalette::Text, Tone::ink().resolve(theme_.tint()));
  palette.setColor(QPalette::PlaceholderText, Tone::dimmed().resolve(theme_.tint()));
  palette.setColor(QPalette::Highlight, Tone::accent(0.35).resolve(theme_.tint()));
  palette.setColor(QPalette::HighlightedText, Tone::ink().resolve(theme_.tint()));
  editor_->setPalette(palette);
  editor_->installEventFilter(this);
  // Whoever gives the field the keyboard gives it to the editor inside.
  setFocusProxy(editor_);

  counter_->setAlignment(Qt::AlignRight);
  counter_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(editor_);
  layout->addSpacing(kUnderlineGap + 1);
  layout->addWidget(counter_);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

  connect(editor_, &QTextEdit::textChanged, this, [this] { textEdited(); });
  connect(&focus_, &AnimatedValue::valueChanged, this, [this] { update(); });
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint& tint) {
    QPalette p = editor_->palette();
    p.setColor(QPalette::Highlight, Tone::accent(0.35).resolve(tint));
    editor_->setPalette(p);
    update();
  });
  fitHeight();
}

QTextEdit* CaptureInput::editor() const {
  return editor_;
}

QString CaptureInput::text() const {
  return editor_->toPlainText();
}

void CaptureInput::setText(const QString& text) {
  if (text == editor_->toPlainText()) return;
  editor_->setPlainText(text);
  editor_->moveCursor(QTextCursor::End);
}

QString CaptureInput::counter() const {
  const auto shown = LineLimit::counter(text().toStdString());
  return shown ? QString::fromStdString(*shown) : QString();
}

bool CaptureInput::counterShown() const {
  return !counter_->isHidden();
}

void CaptureInput::textEdited() {
  if (cutting_) return;
  const std::string typed = editor_->toPlainText().toStdString();
  const std::string kept = LineLimit::cut(typed);
  if (kept != typed) {
    // Typing or pasting past the limit keeps the first 160 characters, caret at the end.
    cutting_ = true;
    editor_->setPlainText(QString::fromStdString(kept));
    editor_->moveCursor(QTextCursor::End);
    cutting_ = false;
  }
  const QString count = counter();
  counter_->setText(count);
  counter_->setVisible(!count.isEmpty());
  fitHeight();
  Q_EMIT textChanged();
}

double CaptureInput::lineHeight() const {
  return QFontMetricsF(font_).lineSpacing();
}

void CaptureInput::fitHeight() {
  // The document is laid out at the editor's width; its height in lines, 1 to 6, sets
  // the field's height, and anything beyond scrolls.
  QTextDocument* document = editor_->document();
  document->setTextWidth(editor_->viewport()->width());
  int lines = 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    lines += std::max(1, block.layout() ? block.layout()->lineCount() : 1);
  }
  visibleLines_ = std::clamp(lines, 1, kMaxLines);
  const int height = static_cast<int>(std::ceil(visibleLines_ * lineHeight())) + 2;
  if (editor_->height() != height || editor_->minimumHeight() != height) {
    editor_->setFixedHeight(height);
    updateGeometry();
  }
  editor_->setVerticalScrollBarPolicy(lines > kMaxLines ? Qt::ScrollBarAsNeeded
                                                        : Qt::ScrollBarAlwaysOff);
}

void CaptureInput::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitHeight();
}

void CaptureInput::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  editor_->setFocus(Qt::OtherFocusReason);
}

bool CaptureInput::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_) {
    if (event->type() == QEvent::FocusIn) focus_.animateTo(1, TMacMotion::hover);
    if (event->type() == QEvent::FocusOut) focus_.animateTo(0, TMacMotion::hover);
  }
  return QWidget::eventFilter(watched, event);
}

void CaptureInput::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const TervaneTint tint = theme_.tint();
  const double focus = std::clamp(focus_.value(), 0.0, 1.0);
  const QColor idle = Tone::ink(TervaneTints::hairlineOpacity).resolve(tint);
  const QColor focused = Tone::accent().resolve(tint);
  QColor line;
  line.setRgbF(idle.redF() + (focused.redF() - idle.redF()) * focus,
               idle.greenF() + (focused.greenF() - idle.greenF()) * focus,
               idle.blueF() + (focused.blueF() - idle.blueF()) * focus,
               idle.alphaF() + (focused.alphaF() - idle.alphaF()) * focus);
  const int y = editor_->geometry().bottom() + 1 + kUnderlineGap;
  painter.fillRect(QRect(0, y, width(), 1), line);
}

}  // namespace tervane
