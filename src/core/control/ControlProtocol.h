// The words spoken between `tervane-now <command>` and the running application: one JSON
// object per line each way. A request is {"command": ..., "line": ..., "answer": ...}
// ("line" only for capture, "answer" only for answer); a reply is {"ok": bool,
// "message": string, "status": {...}}. Requests are decoded strictly: anything that is
// not exactly one of the shapes above is refused with a sentence that says what is wrong,
// so a typo in a script is caught instead of being half-obeyed.
//
// Exit codes of the command line, shared here so that every client agrees:
//   0 done, 1 refused (or the application could not do it), 2 usage, 3 nothing running.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/Result.h"

namespace tervane {

// `browsers` reports which browser companions are connected now; `windows` reads one
// browser's windows and tabs as the application sees them (its "item" names the browser).
enum class ControlCommand {
  capture,
  start,
  pause,
  show,
  done,
  undo,
  answer,
  status,
  open,
  keep,
  stow,
  browsers,
  windows
};

std::string rawValue(ControlCommand command);
std::optional<ControlCommand> controlCommandFromRaw(std::string_view raw);

// What a status request may wait for before it answers, so that a script can follow the
// application without polling: the shield asking, a stage open, parked, running, or none;
// or settled: the application has finished moving windows itself, a stage's browser
// windows included, so what comes forward now is the person's doing and meets the guard;
// or companion: a browser's companion is connected, so its tabs are read.
enum class ControlCondition { shield, stage, parked, running, closed, settled, companion };

std::string rawValue(ControlCondition condition);
std::optional<ControlCondition> controlConditionFromRaw(std::string_view raw);

struct ControlRequest {
  ControlCommand command = ControlCommand::status;
  std::optional<std::string> line = std::nullopt;        // capture
  std::optional<bool> answer = std::nullopt;             // answer: yes is true
  std::optional<ControlCondition> until = std::nullopt;  // status
  std::optional<std::string> item = std::nullopt;        // keep, stow; windows: the browser

  friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

struct ControlReply {
  bool ok = false;
  std::string message;
  nlohmann::json status;  // an object, or null when the reply carries none

  friend bool operator==(const ControlReply&, const ControlReply&) = default;
};

namespace ControlProtocol {

inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNothingRunning = 3;

// The longest request line a server reads (the newline not counted).
inline constexpr std::size_t kMaxRequestBytes = std::size_t{1} << 20;

// One line of JSON without the trailing newline. Text that is not UTF-8 is replaced, never
// refused, so a reply about an oddly named window still goes out.
std::string encode(const ControlRequest& request);
std::string encode(const ControlReply& reply);

[[nodiscard]] Result<ControlRequest> decodeRequest(std::string_view line);
[[nodiscard]] Result<ControlReply> decodeReply(std::string_view line);

ControlReply refused(std::string message);

}  // namespace ControlProtocol
}  // namespace tervane
