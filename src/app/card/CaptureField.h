// The content of the capture panel that the capture shortcut opens: the bee and the prompt
// "What is the one thing?", then the large line editor. Return captures the draft and
// closes the panel; Escape closes it alone. The panel itself belongs to the app shell.
#pragma once

#include <functional>
#include <memory>

#include "app/card/CaptureInput.h"
#include "app/paint/BeeMark.h"
#include "app/paint/TPanelCanvas.h"
#include "look/ThemeManager.h"
#include "session/MacNowModel.h"

namespace tervane {

class CaptureField final : public TPanelCanvas {
  Q_OBJECT

 public:
  static constexpr int kWidth = 560;
  static constexpr int kHeight = 208;
  static constexpr int kPadding = 28;

  CaptureField(std::shared_ptr<MacNowModel> model, ThemeManager& theme,
               std::function<void()> onDone, QWidget* parent = nullptr);

  CaptureInput* input() const { return input_; }
  QString draft() const { return input_->text(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::shared_ptr<MacNowModel> model_;
  std::function<void()> onDone_;
  CaptureInput* input_;
};

}  // namespace tervane
