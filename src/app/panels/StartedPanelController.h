// Shows the started note when a stage begins: a little above the middle of the screen,
// above other windows on every workspace, never taking focus and letting every click
// through to what lies beneath. It fades out 3.4 seconds after it appears; a newer
// stage's note replaces it at once, and the older note's pending fade can no longer touch
// the new one. Timers run on the main queue, so tests drive them with a manual clock.
// Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "app/panels/StartedNote.h"
#include "base/MainQueue.h"
#include "look/ThemeManager.h"
#include "stage/StageRecords.h"

namespace tervane {

// The note's top-left corner: centred across the available area, raised from its middle
// by 9 % of the area's height.
QPoint startedNoteOrigin(const QRect& available, const QSize& size);

class StartedPanelController final : public QObject {
  Q_OBJECT

 public:
  static constexpr double kShowSeconds = 3.4;
  static constexpr double kFadeSeconds = 0.18;
  static constexpr double kRaise = 0.09;

  StartedPanelController(std::shared_ptr<MainQueue> main, ThemeManager& theme,
                         QObject* parent = nullptr);
  ~StartedPanelController() override;

  // Replaces any note on screen with one for this stage.
  void show(const StageSnapshot& stage);
  // Cancels a pending fade, closes the note and forgets it.
  void close();

  QWidget* panel() const { return panel_; }
  StartedNote* note() const { return note_; }
  bool isShowing() const { return panel_ != nullptr; }
  bool isFading() const { return fading_; }

 private:
  void fadeOut(std::uint64_t generation);

  std::shared_ptr<MainQueue> main_;
  ThemeManager& theme_;
  QPointer<QWidget> panel_;
  QPointer<StartedNote> note_;
  bool fading_ = false;
  // Each note's timers carry the generation they were made for; `close` moves it on.
  std::uint64_t generation_ = 0;
};

}  // namespace tervane
