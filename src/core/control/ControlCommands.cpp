#include "control/ControlCommands.h"

#include <algorithm>
#include <utility>

#include "base/Text.h"
#include "learning/ObservationLog.h"
#include "words/StageWords.h"

namespace tervane {
namespace {

using nlohmann::json;

constexpr const char* kNotWritten = "I could not write that down, so nothing changed.";

json items(const std::vector<StageItem>& list) {
  json out = json::array();
  for (const auto& item : list) out.push_back(toJson(item));
  return out;
}

json browserNames(const std::vector<BrowserKind>& kinds) {
  json out = json::array();
  for (auto kind : kinds) out.push_back(rawValue(kind));
  return out;
}

// The outcome of a start, read once the stage is decided. A stage that did not open was
// refused because the person was away with nothing to put away, because the journal
// could not be written, or because the desktop hid nothing; the model says which in
// `lastBecause` each time.
ControlReply startOutcome(const MacNowModel& model) {
  if (const auto& stage = model.openStage()) {
    std::string message = StageWords::whatIDid(*stage);
    if (!model.lastBecause().empty()) message += " " + model.lastBecause();
    return ControlReply{true, message, ControlCommands::status(model)};
  }
  return ControlReply{false, model.lastBecause(), ControlCommands::status(model)};
}

std::string summary(const MacNowModel& model) {
  const auto& stage = model.openStage();
  if (stage && stage->isParked()) return StageWords::paused(model.parkedMinutes().value_or(0));
  if (stage) return StageWords::whatIDid(*stage);
  if (model.starting()) return "Starting: I am deciding what stays.";
  if (model.now()) return "Your one thing: " + model.now()->textContent + ". No stage is open.";
  return "There is no line and no stage.";
}

}  // namespace

ControlCommands::ControlCommands(std::shared_ptr<MacNowModel> model,
                                 std::shared_ptr<MainQueue> main, std::function<void()> openCard)
    : model_(std::move(model)), main_(std::move(main)), openCard_(std::move(openCard)) {
  startingConnection_ = model_->startingChanged().connect([this](bool starting) {
    if (starting || waitingForStart_.empty()) return;
    // The model clears `starting` just before it stages, so the outcome is read on the
    // next turn of the main queue, when the stage (or its refusal) is in place.
    auto waiting = std::move(waitingForStart_);
    waitingForStart_.clear();
    main_->post([model = model_, waiting = std::move(waiting)] {
      const auto reply = startOutcome(*model);
      for (const auto& send : waiting) send(reply);
    });
  });
  stageConnection_ = model_->openStageChanged().connect([this](const auto&) { checkWaiting(); });
  subjectConnection_ =
      model_->pendingSubjectChanged().connect([this](const auto&) { checkWaiting(); });
}

bool ControlCommands::holds(ControlCondition condition) const {
  const auto& stage = model_->openStage();
  switch (condition) {
    case ControlCondition::shield:
      return model_->pendingSubject().has_value();
    case ControlCondition::stage:
      return stage.has_value();
    case ControlCondition::parked:
      return stage && stage->isParked();
    case ControlCondition::running:
      return stage && !stage->isParked();
    case ControlCondition::closed:
      return !stage;
    case ControlCondition::settled:
      return !model_->isTervaneMoving() && !model_->isStagingBrowsers();
    case ControlCondition::companion:
      return !companions().empty();
  }
  return false;
}

void ControlCommands::statusUntil(ControlCondition condition, Reply reply) {
  if (holds(condition)) {
    reply(done(true, summary(*model_)));
    return;
  }
  const auto id = nextWaiting_++;
  waitingFor_.push_back({id, condition, std::move(reply)});
  if (condition == ControlCondition::settled) recheckWhenMovesEnd();
  main_->postAfter(kUntilSeconds, [this, alive = std::weak_ptr<int>(lifetime_), id] {
    if (!alive.lock()) return;
    for (auto it = waitingFor_.begin(); it != waitingFor_.end(); ++it) {
      if (it->id != id) continue;
      auto waiting = std::move(*it);
      waitingFor_.erase(it);
      waiting.reply(done(false, "Still not " + rawValue(waiting.condition) + " after " +
                                    std::to_string(static_cast<int>(kUntilSeconds)) + " seconds."));
      return;
    }
  });
}

// Moving ends with time, not with a signal: look again once the longest move could have
// ended, and again after that while the application keeps moving windows.
void ControlCommands::recheckWhenMovesEnd() {
  main_->postAfter(MacNowModel::kMovingSeconds, [this, alive = std::weak_ptr<int>(lifetime_)] {
    if (!alive.lock()) return;
    checkWaiting();
    const bool stillWaiting = std::any_of(
        waitingFor_.begin(), waitingFor_.end(),
        [](const Waiting& waiting) { return waiting.condition == ControlCondition::settled; });
    if (stillWaiting) recheckWhenMovesEnd();
  });
}

void ControlCommands::checkWaiting() {
  std::vector<Waiting> ready;
  for (auto it = waitingFor_.begin(); it != waitingFor_.end();) {
    if (holds(it->condition)) {
      ready.push_back(std::move(*it));
      it = waitingFor_.erase(it);
    } else {
      ++it;
    }
  }
  for (const auto& waiting : ready) waiting.reply(done(true, summary(*model_)));
}

// Replies once every window has come back or been given up on, so that a script can rely
// on what it is told: `backText` when all is back, else what did not come back.
void ControlCommands::replyOnceBack(Reply reply, std::string backText) {
  auto send = [this, reply = std::move(reply), backText = std::move(backText)] {
    const auto& notBack = model_->notBack();
    reply(notBack.empty() ? done(true, backText) : done(false, notBack));
  };
  if (!model_->isRestoringBrowsers()) {
    send();
    return;
  }
  statusUntil(ControlCondition::settled, [send = std::move(send)](const ControlReply&) { send(); });
}

json ControlCommands::companions() const {
  auto list = companionReport_ ? companionReport_() : json::array();
  return list.is_array() ? list : json::array();
}

ControlReply ControlCommands::done(bool ok, std::string message) const {
  json data = status(*model_);
  if (!desktop_.empty()) data["desktop"] = desktop_;
  return ControlReply{ok, std::move(message), std::move(data)};
}

void ControlCommands::handle(std::string_view requestLine, Reply reply) {
  auto request = ControlProtocol::decodeRequest(requestLine);
  if (!request) {
    reply(ControlProtocol::refused(request.error().message));
    return;
  }
  execute(request.value(), std::move(reply));
}

void ControlCommands::execute(const ControlRequest& request, Reply reply) {
  MacNowModel& model = *model_;
  switch (request.command) {
    case ControlCommand::capture: {
      const auto line = Text::trimmed(request.line.value_or(""));
      if (line.empty()) {
        reply(done(false, "Write the one thing you are doing: tervane-now capture \"the line\"."));
        return;
      }
      model.capture(line);
      reply(done(true, "Your one thing: " + line + "."));
      return;
    }
    case ControlCommand::start:
      start(std::move(reply));
      return;
    case ControlCommand::pause: {
      const auto& stage = model.openStage();
      if (!stage) {
        reply(done(false, "No stage is open, so there is nothing to pause."));
        return;
      }
      const bool wasParked = stage->isParked();
      if (wasParked) {
        model.resume();
      } else {
        model.park();
      }
      const bool changed = model.openStage() && model.openStage()->isParked() != wasParked;
      reply(changed ? done(true, model.lastBecause()) : done(false, kNotWritten));
      return;
    }
    case ControlCommand::show:
      if (!model.openStage() && model.stillHidden().empty()) {
        reply(done(false, "No stage is open, so there is nothing to bring back."));
        return;
      }
      model.bringBack(false);
      replyOnceBack(std::move(reply), "Everything is back on your screen. Your line stays.");
      return;
    case ControlCommand::done:
      if (!model.now() && !model.openStage()) {
        reply(done(false, "There is no line and no stage, so there is nothing to finish."));
        return;
      }
      model.done();
      replyOnceBack(std::move(reply),
                    StageWords::finishedAndUndone(model.justFinished().value_or("")));
      return;
    case ControlCommand::undo: {
      if (!model.justFinished()) {
        reply(done(false, "Nothing was just finished, so there is nothing to undo."));
        return;
      }
      const auto line = *model.justFinished();
      model.undoFinish();
      reply(done(true, "Your line is back: " + line + ". Nothing was hidden again."));
      return;
    }
    case ControlCommand::answer: {
      const bool yes = request.answer.value_or(false);
      if (model.pendingSubject()) {
        const auto before = model.openStage();
        model.answer(yes);
        // Either answer records a guard event, so an unchanged stage means the journal
        // refused the write and the model left everything as it was.
        reply(model.openStage() != before ? done(true, model.lastBecause())
                                          : done(false, kNotWritten));
        return;
      }
      if (model.pendingQuestion()) {
        model.answerQuestion(yes);
        reply(done(true, yes ? "I will remember that next time." : "Nothing changes next time."));
        return;
      }
      reply(done(false, "Nothing is being asked right now."));
      return;
    }
    case ControlCommand::status:
      if (request.until) {
        statusUntil(*request.until, std::move(reply));
      } else {
        reply(done(true, summary(model)));
      }
      return;
    case ControlCommand::keep:
    case ControlCommand::stow: {
      // Keep anyway acts on what the stage put away, stow also on what it kept.
      const bool keep = request.command == ControlCommand::keep;
      const auto& stage = model.openStage();
      if (!stage) {
        reply(done(false, "No stage is open, so there is nothing to change."));
        return;
      }
      const auto& list = keep ? stage->stowed : stage->kept;
      const auto id = request.item.value_or("");
      const auto it = std::find_if(list.begin(), list.end(),
                                   [&](const StageItem& item) { return item.id == id; });
      if (it == list.end()) {
        reply(done(false, "The stage has no " + std::string(keep ? "hidden" : "kept") + " item \"" +
                              id + "\"."));
        return;
      }
      const auto item = *it;
      const auto before = model.openStage();
      if (keep) {
        model.keepAnyway(item);
      } else {
        model.stowAlso(item);
      }
      reply(model.openStage() != before ? done(true, model.lastBecause())
                                        : done(false, kNotWritten));
      return;
    }
    case ControlCommand::open:
      if (!openCard_) {
        reply(done(false, "This instance has no card to open."));
        return;
      }
      openCard_();
      reply(done(true, "The card is open."));
      return;
    case ControlCommand::windows:
      readWindows(request.item.value_or(""), std::move(reply));
      return;
    case ControlCommand::browsers: {
      auto list = companions();
      reply(ControlReply{true, std::to_string(list.size()) + " connected",
                         json{{"companions", std::move(list)}}});
      return;
    }
  }
  reply(done(false, "That command is not known."));
}

void ControlCommands::readWindows(const std::string& browser, Reply reply) {
  const auto kind = browserKindFromRaw(browser);
  if (!kind) {
    reply(ControlProtocol::refused("There is no browser \"" + browser + "\"."));
    return;
  }
  if (!browsers_ || !offMain_) {
    reply(ControlProtocol::refused("This instance reads no browsers."));
    return;
  }
  // The read waits on the browser within its lane's limits, so it never runs here.
  offMain_->run<ControlReply>(
      [browsers = browsers_, kind = *kind] {
        auto windows = browsers->windows(kind);
        if (!windows) return ControlProtocol::refused(windows.error().description());
        json list = json::array();
        for (const auto& window : windows.value()) list.push_back(toJson(window));
        return ControlReply{
            true, std::to_string(list.size()) + " windows",
            json{{"windows", std::move(list)}, {"windowsOnly", browsers->seesWindowsOnly(kind)}}};
      },
      std::move(reply));
}

void ControlCommands::start(Reply reply) {
  MacNowModel& model = *model_;
  if (!model.now() || Text::isBlank(model.now()->textContent)) {
    reply(done(false,
               "There is no line to start. Write one first: tervane-now capture \"the line\"."));
    return;
  }
  if (model.openStage()) {
    reply(done(false, "A stage is already open. Show everything or finish it first."));
    return;
  }
  if (model.starting()) {
    reply(done(false, "A start is already on its way."));
    return;
  }
  model.set(SeedRule::defaultRule());  // as the start shortcut
  if (!model.starting()) {
    reply(startOutcome(model));
    return;
  }
  waitingForStart_.push_back(std::move(reply));
}

json ControlCommands::status(const MacNowModel& model) {
  json out;
  out["line"] = model.now() ? json(model.now()->textContent) : json(nullptr);
  out["summary"] = summary(model);
  out["lastBecause"] = model.lastBecause();
  out["starting"] = model.starting();
  out["deniedBrowsers"] = browserNames(model.deniedBrowsers());
  out["busyBrowsers"] = browserNames(model.busyBrowsers());
  out["justFinished"] = model.justFinished() ? json(*model.justFinished()) : json(nullptr);

  if (const auto& stage = model.openStage()) {
    json s;
    s["takenAt"] = stage->takenAt;
    s["actionText"] = stage->actionText;
    s["parked"] = stage->isParked();
    if (stage->parkedAt) s["parkedAt"] = *stage->parkedAt;
    if (auto minutes = model.parkedMinutes()) s["parkedMinutes"] = *minutes;
    s["whatIDid"] = StageWords::whatIDid(*stage);
    s["kept"] = items(stage->kept);
    s["stowed"] = items(stage->stowed);
    json events = json::array();
    for (const auto& event : stage->events()) events.push_back(toJson(event));
    s["guardEvents"] = std::move(events);
    out["stage"] = std::move(s);
  } else {
    out["stage"] = nullptr;
  }

  out["pendingSubject"] = model.pendingSubject() ? toJson(*model.pendingSubject()) : json(nullptr);
  if (const auto& question = model.pendingQuestion()) {
    json q;
    q["putAwayNextTime"] = items(question->putAwayNextTime);
    q["keepNextTime"] = items(question->keepNextTime);
    if (auto prompt = ObservationLog::prompt(*question)) q["question"] = prompt->question;
    out["pendingQuestion"] = std::move(q);
  } else {
    out["pendingQuestion"] = nullptr;
  }
  return out;
}

}  // namespace tervane
