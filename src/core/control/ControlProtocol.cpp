#include "control/ControlProtocol.h"

#include <array>
#include <utility>

#include "base/Json.h"

namespace tervane {
namespace {

using nlohmann::json;

struct Name {
  ControlCommand command;
  std::string_view raw;
};

constexpr std::array<Name, 13> kNames{{
    {ControlCommand::capture, "capture"},
    {ControlCommand::start, "start"},
    {ControlCommand::pause, "pause"},
    {ControlCommand::show, "show"},
    {ControlCommand::done, "done"},
    {ControlCommand::undo, "undo"},
    {ControlCommand::answer, "answer"},
    {ControlCommand::status, "status"},
    {ControlCommand::open, "open"},
    {ControlCommand::keep, "keep"},
    {ControlCommand::stow, "stow"},
    {ControlCommand::browsers, "browsers"},
    {ControlCommand::windows, "windows"},
}};

constexpr std::array<std::pair<ControlCondition, std::string_view>, 7> kConditions{{
    {ControlCondition::shield, "shield"},
    {ControlCondition::stage, "stage"},
    {ControlCondition::parked, "parked"},
    {ControlCondition::running, "running"},
    {ControlCondition::closed, "closed"},
    {ControlCondition::settled, "settled"},
    {ControlCondition::companion, "companion"},
}};

Error malformed(std::string message) {
  return Error{std::move(message), 0};
}

}  // namespace

std::string rawValue(ControlCommand command) {
  for (const auto& name : kNames) {
    if (name.command == command) return std::string(name.raw);
  }
  return {};
}

std::optional<ControlCommand> controlCommandFromRaw(std::string_view raw) {
  for (const auto& name : kNames) {
    if (name.raw == raw) return name.command;
  }
  return std::nullopt;
}

std::string rawValue(ControlCondition condition) {
  for (const auto& [value, raw] : kConditions) {
    if (value == condition) return std::string(raw);
  }
  return {};
}

std::optional<ControlCondition> controlConditionFromRaw(std::string_view raw) {
  for (const auto& [value, name] : kConditions) {
    if (name == raw) return value;
  }
  return std::nullopt;
}

namespace ControlProtocol {

std::string encode(const ControlRequest& request) {
  json object{{"command", rawValue(request.command)}};
  if (request.line) object["line"] = *request.line;
  if (request.answer) object["answer"] = *request.answer;
  if (request.until) object["until"] = rawValue(*request.until);
  if (request.item) object["item"] = *request.item;
  return jsonread::dumpText(object);
}

std::string encode(const ControlReply& reply) {
  json object{{"ok", reply.ok}, {"message", reply.message}};
  if (!reply.status.is_null()) object["status"] = reply.status;
  return jsonread::dumpText(object);
}

Result<ControlRequest> decodeRequest(std::string_view line) {
  if (line.size() > kMaxRequestBytes) return malformed("The request is longer than 1 MiB.");
  const auto parsed = jsonread::parse(line);
  if (!parsed) return malformed("The request is not JSON.");
  if (!parsed->is_object()) return malformed("The request must be one JSON object.");
  for (const auto& [key, value] : parsed->items()) {
    if (key != "command" && key != "line" && key != "answer" && key != "until" && key != "item") {
      return malformed("The request has an unknown key \"" + key + "\".");
    }
  }
  const auto command = parsed->find("command");
  if (command == parsed->end() || !command->is_string()) {
    return malformed("The request needs a \"command\" string.");
  }
  const auto raw = command->get<std::string>();
  const auto kind = controlCommandFromRaw(raw);
  if (!kind) return malformed("There is no command \"" + raw + "\".");

  ControlRequest request{*kind, std::nullopt, std::nullopt, std::nullopt};
  // A null value counts as absent, as everywhere else in the stored records.
  if (auto it = parsed->find("line"); it != parsed->end() && !it->is_null()) {
    if (*kind != ControlCommand::capture) return malformed("Only capture takes a \"line\".");
    if (!it->is_string()) return malformed("The \"line\" must be a string.");
    request.line = it->get<std::string>();
  }
  if (auto it = parsed->find("answer"); it != parsed->end() && !it->is_null()) {
    if (*kind != ControlCommand::answer) return malformed("Only answer takes an \"answer\".");
    if (!it->is_boolean()) return malformed("The \"answer\" must be true or false.");
    request.answer = it->get<bool>();
  }
  if (auto it = parsed->find("until"); it != parsed->end() && !it->is_null()) {
    if (*kind != ControlCommand::status) return malformed("Only status takes an \"until\".");
    const auto condition =
        it->is_string() ? controlConditionFromRaw(it->get<std::string>()) : std::nullopt;
    if (!condition) {
      return malformed("The \"until\" must be shield, stage, parked, running, closed, settled or companion.");
    }
    request.until = condition;
  }
  const bool takesItem = *kind == ControlCommand::keep || *kind == ControlCommand::stow ||
                         *kind == ControlCommand::windows;
  if (auto it = parsed->find("item"); it != parsed->end() && !it->is_null()) {
    if (!takesItem) return malformed("Only keep, stow and windows take an \"item\".");
    if (!it->is_string()) return malformed("The \"item\" must be a string.");
    request.item = it->get<std::string>();
  }
  if (takesItem && !request.item) {
    return malformed(raw + " needs an \"item\".");
  }
  if (*kind == ControlCommand::capture && !request.line) {
    return malformed("capture needs a \"line\".");
  }
  if (*kind == ControlCommand::answer && !request.answer) {
    return malformed("answer needs an \"answer\" of true or false.");
  }
  return request;
}

Result<ControlReply> decodeReply(std::string_view line) {
  const auto parsed = jsonread::parse(line);
  if (!parsed || !parsed->is_object()) return malformed("The reply is not a JSON object.");
  const auto ok = parsed->find("ok");
  const auto message = parsed->find("message");
  if (ok == parsed->end() || !ok->is_boolean() || message == parsed->end() ||
      !message->is_string()) {
    return malformed("The reply lacks \"ok\" or \"message\".");
  }
  ControlReply reply{ok->get<bool>(), message->get<std::string>(), nullptr};
  if (auto it = parsed->find("status"); it != parsed->end() && !it->is_null()) {
    if (!it->is_object()) return malformed("The reply's \"status\" is not an object.");
    reply.status = *it;
  }
  return reply;
}

ControlReply refused(std::string message) {
  return ControlReply{false, std::move(message), nullptr};
}

}  // namespace ControlProtocol
}  // namespace tervane
