#include "cli/Control.h"

#include <cerrno>
#include <ostream>

#include "base/Json.h"
#include "control/ControlCommands.h"

namespace tervane::cli {
namespace {

using nlohmann::json;

std::string text(const json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Apps and windows by name and kind; tabs travel with their windows and are not listed.
std::string itemList(const json& items) {
  std::string out;
  if (!items.is_array()) return out;
  for (const auto& item : items) {
    const auto kind = text(item, "kind");
    if (kind == "tab") continue;
    if (!out.empty()) out += ", ";
    out += text(item, "name") + " (" + kind + ")";
  }
  return out.empty() ? "nothing" : out;
}

std::string names(const json& list) {
  std::string out;
  if (!list.is_array()) return out;
  for (const auto& name : list) {
    if (!name.is_string()) continue;
    if (!out.empty()) out += ", ";
    out += name.get<std::string>();
  }
  return out;
}

}  // namespace

ControlCommandLine::ControlCommandLine(CLI::App& app) {
  auto add = [&](ControlCommand command, const char* help) {
    auto* sub = app.add_subcommand(rawValue(command), help);
    sub->add_option("--wait", waitSeconds_,
                    "When Tervane Now is not running yet, wait this many seconds for it")
        ->check(CLI::Range(0.0, 3600.0));
    entries_.push_back({command, sub});
    return sub;
  };
  add(ControlCommand::capture, "Write down the one thing you are doing")
      ->add_option("line", words_, "The line (several words are joined with spaces)")
      ->required();
  add(ControlCommand::start, "Start: put away what the line does not need");
  add(ControlCommand::pause, "Take a minute, or come back to a paused stage");
  add(ControlCommand::show, "Show everything again and keep the line");
  add(ControlCommand::done, "Finished: show everything and tick the line off");
  add(ControlCommand::undo, "Bring back the line just finished");
  add(ControlCommand::answer, "Answer what is being asked: the shield, else the question")
      ->add_option("answer", answer_, "yes or no")
      ->required()
      ->check(CLI::IsMember({"yes", "no"}));
  auto* status = add(ControlCommand::status, "Say what is open and why");
  status->add_flag("--json", json_, "Print the status as JSON");
  status
      ->add_option("--until", until_,
                   "Answer once this holds: shield, stage, parked, running, closed, settled or "
                   "companion")
      ->check(CLI::IsMember(
          {"shield", "stage", "parked", "running", "closed", "settled", "companion"}));
  add(ControlCommand::open, "Open the card of the running application");
  add(ControlCommand::keep, "Keep anyway: bring back an item the stage put away, and remember")
      ->add_option("item", item_, "The item's id, as status --json lists it")
      ->required();
  add(ControlCommand::stow, "Stow also: put away an item the stage kept, and remember")
      ->add_option("item", item_, "The item's id, as status --json lists it")
      ->required();
}

std::optional<ControlOptions> ControlCommandLine::parsed() const {
  for (const auto& entry : entries_) {
    if (!entry.sub->parsed()) continue;
    ControlOptions options;
    options.request.command = entry.command;
    if (entry.command == ControlCommand::capture) {
      std::string line;
      for (const auto& word : words_) line += (line.empty() ? "" : " ") + word;
      options.request.line = line;
    }
    if (entry.command == ControlCommand::answer) options.request.answer = answer_ == "yes";
    if (entry.command == ControlCommand::keep || entry.command == ControlCommand::stow) {
      options.request.item = item_;
    }
    if (entry.command == ControlCommand::status && !until_.empty()) {
      options.request.until = controlConditionFromRaw(until_);
      // The application answers once the condition holds, or refuses after its own limit.
      options.timeoutSeconds = ControlCommands::kUntilSeconds + 10;
    }
    options.json = json_;
    options.waitSeconds = waitSeconds_;
    return options;
  }
  return std::nullopt;
}

int runControl(const ControlOptions& options, const posix::ControlClient& client, std::ostream& out,
               std::ostream& err) {
  auto reply = options.waitSeconds > 0
                   ? client.sendWhenRunning(options.request, options.waitSeconds,
                                            options.timeoutSeconds)
                   : client.send(options.request, options.timeoutSeconds);
  if (!reply) {
    err << "tervane-now: " << reply.error().message << "\n";
    return reply.error().code == ECONNREFUSED ? ControlProtocol::kExitNothingRunning
                                              : ControlProtocol::kExitRefused;
  }
  const auto& answer = reply.value();
  if (options.request.command == ControlCommand::status && answer.ok) {
    if (options.json) {
      out << jsonread::dumpText(answer.status, 2) << "\n";
    } else {
      out << statusText(answer.status);
    }
    return ControlProtocol::kExitDone;
  }
  if (!answer.ok) {
    err << "tervane-now: " << answer.message << "\n";
    return ControlProtocol::kExitRefused;
  }
  out << answer.message << "\n";
  return ControlProtocol::kExitDone;
}

std::string statusText(const json& status) {
  if (!status.is_object()) return "No status.\n";
  std::string out;
  const auto& line = status.value("line", json());
  out += "Line: " + (line.is_string() ? line.get<std::string>() : std::string("none")) + "\n";
  const auto& stage = status.value("stage", json());
  if (stage.is_object()) {
    out += std::string(stage.value("parked", false) ? "Stage: paused. " : "Stage: open. ") +
           text(status, "summary") + "\n";
    out += "Kept: " + itemList(stage.value("kept", json())) + "\n";
    out += "Hidden: " + itemList(stage.value("stowed", json())) + "\n";
  } else {
    out += "Stage: none. " + text(status, "summary") + "\n";
  }
  if (const auto because = text(status, "lastBecause"); !because.empty()) {
    out += "Why: " + because + "\n";
  }
  if (status.value("starting", false)) out += "Starting: I am deciding what stays.\n";
  for (const auto* key : {"deniedBrowsers", "busyBrowsers"}) {
    const auto list = names(status.value(key, json()));
    if (list.empty()) continue;
    out += std::string(key[0] == 'd' ? "Refused me: " : "Did not answer: ") + list + "\n";
  }
  if (const auto& subject = status.value("pendingSubject", json()); subject.is_object()) {
    out += "Asking: is " + text(subject, "name") +
           " part of it? Answer with tervane-now answer yes or no.\n";
  } else if (const auto& question = status.value("pendingQuestion", json()); question.is_object()) {
    out +=
        "Question: " + text(question, "question") + " Answer with tervane-now answer yes or no.\n";
  }
  if (const auto& finished = status.value("justFinished", json()); finished.is_string()) {
    out += "Just finished: " + finished.get<std::string>() + " (tervane-now undo brings it back)\n";
  }
  return out;
}

}  // namespace tervane::cli
