#include "app/panels/HelpView.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/paint/AppFonts.h"
#include "app/paint/BeeMark.h"
#include "app/paint/TPanelCanvas.h"
#include "app/paint/Tone.h"
#include "app/panels/Entrance.h"
#include "base/AtomicFile.h"
#include "look/Motion.h"

namespace tervane {

SystemIdentity readSystemIdentity(const std::filesystem::path& osRelease,
                                  const std::filesystem::path& fallback) {
  for (const auto& path : {osRelease, fallback}) {
    auto text = readFile(path);
    if (text) return SystemIdentity::fromOsRelease(text.value());
  }
  return SystemIdentity{"Linux", ""};
}

// The address in a rounded box with a thin border; "Copy" at its right, "Copied" once
// it was copied. Hovering lifts the box.
class HelpView::AddressRow final : public QAbstractButton {
 public:
  AddressRow(ThemeManager& theme, const QString& address, QWidget* parent)
      : QAbstractButton(parent), theme_(theme) {
    setText(address);
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(kAddressHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("Copy ") + address);
    setAccessibleName(QStringLiteral("Copy ") + address);
    setFocusPolicy(Qt::TabFocus);
    connect(&hover_, &AnimatedValue::valueChanged, this, [this] { update(); });
  }
  QString label = QStringLiteral("Copy");

  QSize sizeHint() const override { return {200, kAddressHeight}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TervaneTint tint = theme_.tint();
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter.fillPath(box, Tone::surface().resolve(tint, hover_.value()));
    painter.strokePath(box, QPen(Tone::ink(0.14 + 0.1 * hover_.value()).resolve(tint), 1));

    const QRect inner = rect().adjusted(16, 0, -16, 0);
    painter.setFont(AppFonts::figtree(14, AppFonts::Weight::medium));
    painter.setPen(Tone::ink().resolve(tint));
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, text());
    painter.setFont(AppFonts::figtree(10, AppFonts::Weight::medium));
    painter.setPen(Tone::dimmed().resolve(tint));
    painter.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, label);
  }
  void enterEvent(QEnterEvent* event) override {
    QAbstractButton::enterEvent(event);
    hover_.animateTo(1, TMacMotion::hover);
  }
  void leaveEvent(QEvent* event) override {
    QAbstractButton::leaveEvent(event);
    hover_.animateTo(0, TMacMotion::hover);
  }

 private:
  ThemeManager& theme_;
  AnimatedValue hover_{0};
};

HelpView::HelpView(ThemeManager& theme, HelpOptions options, std::function<void()> onClose,
                   QWidget* parent)
    : QWidget(parent), theme_(theme), options_(std::move(options)), onClose_(std::move(onClose)) {
  setFixedSize(kWidth, kHeight);
  setFocusPolicy(Qt::StrongFocus);
  setWindowTitle(QStringLiteral("Help"));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(kSidePadding, kEndPadding, kSidePadding, kEndPadding);
  content_ = new QWidget(this);
  outer->addWidget(content_);
  auto* column = new QVBoxLayout(content_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  auto* header = new QHBoxLayout;
  header->setSpacing(8);
  auto* bee = new BeeMark(theme_, 15, content_);
  bee->setPose(false, 1);
  header->addWidget(bee, 0, Qt::AlignVCenter);
  header->addWidget(new SectionLabel(theme_, QStringLiteral("Tervane Now"), content_), 1,
                    Qt::AlignVCenter);
  column->addLayout(header);
  column->addSpacing(24);

  auto* title =
      new TText(theme_, AppFonts::spaceGrotesk(45), Tone::ink(), TText::Wrap::lines, content_);
  title->setText(QStringLiteral("Write to us."));
  column->addWidget(title);
  column->addSpacing(10);
  auto* line = new TText(theme_, AppFonts::figtree(16), Tone::ink(), TText::Wrap::lines, content_);
  line->setText(QStringLiteral("Say what you were doing and what the app did. A person reads it."));
  column->addWidget(line);
  column->addSpacing(22);

  addressRow_ = new AddressRow(theme_, QString::fromStdString(options_.address), content_);
  connect(addressRow_, &QAbstractButton::clicked, this, &HelpView::copyAddress);
  column->addWidget(addressRow_);
  column->addSpacing(12);

  systemLine_ =
      new TText(theme_, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::lines, content_);
  systemLine_->setText(
      QString::fromStdString(TervaneContact::systemLine(options_.app, options_.system)));
  column->addWidget(systemLine_);
  column->addStretch(1);

  auto* verbs = new TVerbRow(content_);
  showFiles_ = new TVerb(theme_, QStringLiteral("Show my files"), false);
  close_ = new TVerb(theme_, QStringLiteral("Close"), true);
  verbs->addVerb(showFiles_);
  verbs->addVerb(close_);
  connect(showFiles_, &QAbstractButton::clicked, this, &HelpView::openFiles);
  connect(close_, &QAbstractButton::clicked, this, &HelpView::close);
  auto* verbRow = new QHBoxLayout;
  verbRow->addStretch(1);
  verbRow->addWidget(verbs);
  column->addLayout(verbRow);
}

QAbstractButton* HelpView::addressRow() const {
  return addressRow_;
}

QString HelpView::copyLabel() const {
  return addressRow_->label;
}

void HelpView::copyAddress() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(QString::fromStdString(options_.address));
  if (copied_) return;
  copied_ = true;
  addressRow_->label = QStringLiteral("Copied");
  addressRow_->update();
}

void HelpView::openFiles() {
  // Before the first stage the folder may not exist yet; a file manager asked to open a
  // missing folder shows an error instead. Made private to the person, as the journal does.
  if (!options_.filesFolder.empty()) {
    (void)createFolders(options_.filesFolder, std::filesystem::perms::owner_all);
  }
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(options_.filesFolder.string()));
  if (options_.openUrl) {
    options_.openUrl(url);
  } else {
    QDesktopServices::openUrl(url);
  }
}

void HelpView::close() {
  if (onClose_) onClose_();
}

void HelpView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  setFocus(Qt::ActiveWindowFocusReason);
  if (shown_) return;
  shown_ = true;
  enterStaged(content_, TMacMotion::panel);
}

void HelpView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TPanelCanvas::paint(painter, rect());
}

void HelpView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      close();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace tervane
