// Shows the shield: one full-screen window at a time that covers the whole screen (not
// only its free area), stays above other windows on every workspace and takes the
// keyboard, with the shield view as its content. A second `present` while one shows is
// dropped together with its callback. `dismiss` forgets the window at once, fades it out
// over 0.18 seconds and closes it afterwards, so a new shield may follow immediately.
// Main thread only; the delayed close runs on the main queue.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/shield/ShieldView.h"
#include "base/MainQueue.h"
#include "guard/ShieldPresenting.h"
#include "look/ThemeManager.h"

namespace tervane {

class ShieldPanelController final : public QObject, public ShieldPresenting {
  Q_OBJECT

 public:
  static constexpr double kFadeSeconds = 0.18;

  ShieldPanelController(std::shared_ptr<MainQueue> main, ThemeManager& theme,
                        QObject* parent = nullptr);
  ~ShieldPanelController() override;

  void present(const StageItem& item, const std::string& actionText,
               std::function<void(bool letThrough)> onAnswer) override;
  void dismiss() override;
  bool isShowing() const override { return panel_ != nullptr; }

  // The window while a shield shows, and its view.
  QWidget* panel() const { return panel_; }
  ShieldView* view() const { return view_; }
  // Windows dismissed but not yet closed.
  int fading() const;

 private:
  std::shared_ptr<MainQueue> main_;
  ThemeManager& theme_;
  QPointer<QWidget> panel_;
  QPointer<ShieldView> view_;
  std::vector<QPointer<QWidget>> fading_;
};

}  // namespace tervane
