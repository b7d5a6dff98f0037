// Runs the command line's requests on the session model, on the main thread, exactly as
// the card and the shortcuts would: capture a line, start, pause or resume, show
// everything, finish, undo a finish, answer the shield or the one question, report the
// status, and open the card (what a second launch of the application hands over).
//
// How the shell uses it: build one with the model, the main queue and a hook that opens
// the card; take the instance lock and start a control server whose handler passes each
// request line to `handle` (the server posts it to the main thread) and writes the reply
// it is given; stop the server before the model is asked to prepare for quit.
//
// Most replies come at once. Start may wait for the picker: when the model is still
// `starting` right after `set`, the reply follows once the stage is decided. A status
// with a condition answers once the condition holds (at once when it already does), or
// refuses after `kUntilSeconds`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/MainQueue.h"
#include "base/OffMainRunning.h"
#include "base/Signal.h"
#include "control/ControlProtocol.h"
#include "session/MacNowModel.h"
#include "surfaces/BrowserSurfacing.h"

namespace tervane {

class ControlCommands {
 public:
  using Reply = std::function<void(const ControlReply&)>;
  static constexpr double kUntilSeconds = 30;

  ControlCommands(std::shared_ptr<MacNowModel> model, std::shared_ptr<MainQueue> main,
                  std::function<void()> openCard);

  ControlCommands(const ControlCommands&) = delete;
  ControlCommands& operator=(const ControlCommands&) = delete;

  // Decodes one request line and runs it; a malformed line is refused at once. Main thread.
  void handle(std::string_view requestLine, Reply reply);
  // Main thread. `reply` is called exactly once, now or (for start) later.
  void execute(const ControlRequest& request, Reply reply);

  // What `browsers` reports under "companions": the desktop's connected browser
  // companions, each {"browser": kind, "profile": folder}. Without it the list is empty.
  void setCompanionReport(std::function<nlohmann::json()> report) {
    companionReport_ = std::move(report);
  }
  // A companion connected or left: a status waiting for one may answer now. Main thread.
  void companionsChanged() { checkWaiting(); }

  // What `windows` reads: the desktop's browsers, off the main thread. Without them it
  // refuses. A reply carries {"windows": [...], "windowsOnly": bool} or, refused, the
  // script error's words.
  void setBrowserReading(std::shared_ptr<BrowserSurfacing> browsers,
                         std::shared_ptr<OffMainRunning> offMain) {
    browsers_ = std::move(browsers);
    offMain_ = std::move(offMain);
  }

  // The desktop backend this instance drives ("x11", "kwin"), which every reply that
  // carries the status names under "desktop".
  void setDesktop(std::string name) { desktop_ = std::move(name); }

  // What `status` reports: the line, the open stage with its receipt, the last reason,
  // whether a start is in flight, and what is being asked.
  static nlohmann::json status(const MacNowModel& model);

 private:
  void start(Reply reply);
  void readWindows(const std::string& browser, Reply reply);
  void statusUntil(ControlCondition condition, Reply reply);
  void replyOnceBack(Reply reply, std::string backText);
  void checkWaiting();
  nlohmann::json companions() const;
  void recheckWhenMovesEnd();
  bool holds(ControlCondition condition) const;
  ControlReply done(bool ok, std::string message) const;

  struct Waiting {
    std::uint64_t id;
    ControlCondition condition;
    Reply reply;
  };

  std::shared_ptr<MacNowModel> model_;
  std::shared_ptr<MainQueue> main_;
  std::function<void()> openCard_;
  std::function<nlohmann::json()> companionReport_;
  std::string desktop_;
  std::shared_ptr<BrowserSurfacing> browsers_;
  std::shared_ptr<OffMainRunning> offMain_;
  std::vector<Reply> waitingForStart_;
  Signal<bool>::Connection startingConnection_;
  std::vector<Waiting> waitingFor_;
  std::uint64_t nextWaiting_ = 1;
  // Timers hold it weakly: one that fires after these commands are gone does nothing.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  Signal<std::optional<StageSnapshot>>::Connection stageConnection_;
  Signal<std::optional<StageItem>>::Connection subjectConnection_;
};

}  // namespace tervane
