#include "app/card/CaptureField.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "app/paint/TText.h"

namespace tervane {

CaptureField::CaptureField(std::shared_ptr<MacNowModel> model, ThemeManager& theme,
                           std::function<void()> onDone, QWidget* parent)
    : TPanelCanvas(parent),
      model_(std::move(model)),
      onDone_(std::move(onDone)),
      input_(new CaptureInput(theme, /*large=*/true, this)) {
  setFixedSize(kWidth, kHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  layout->setSpacing(0);

  auto* head = new QHBoxLayout;
  head->setSpacing(7);
  auto* bee = new BeeMark(theme, 13, this);
  bee->setPose(true, 0.9);
  head->addWidget(bee);
  head->addWidget(new SectionLabel(theme, QStringLiteral("What is the one thing?"), this));
  head->addStretch(1);
  layout->addLayout(head);
  layout->addSpacing(20);
  layout->addWidget(input_);
  layout->addStretch(1);
  setFocusProxy(input_);

  input_->onSubmit = [this] {
    model_->capture(input_->text().toStdString());
    input_->setText({});
    if (onDone_) onDone_();
  };
}

void CaptureField::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    if (onDone_) onDone_();
    return;
  }
  TPanelCanvas::keyPressEvent(event);
}

}  // namespace tervane
