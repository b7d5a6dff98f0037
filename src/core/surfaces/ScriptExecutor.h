// Runs one script text synchronously on the calling thread and gives the reply or the
// error the script ended with. The platform supplies it: the script engine on Linux, the
// scripting bridge on the Mac.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "surfaces/ReplyDescriptor.h"

namespace tervane {

struct ScriptFailure {
  // The text could not be compiled (or is outside the supported language); the number
  // and message below are then unused.
  bool compileFailure = false;
  std::optional<int> number;
  std::optional<std::string> message;

  static ScriptFailure couldNotCompile() { return ScriptFailure{true, std::nullopt, std::nullopt}; }
  static ScriptFailure error(int number, std::string message) {
    return ScriptFailure{false, number, std::move(message)};
  }
  friend bool operator==(const ScriptFailure&, const ScriptFailure&) = default;
};

using ScriptOutcome = std::variant<ReplyDescriptor, ScriptFailure>;

class ScriptExecutor {
 public:
  virtual ~ScriptExecutor() = default;
  // Called on a browser's lane thread; may block for as long as the browser takes.
  virtual ScriptOutcome execute(const std::string& script) = 0;
};

}  // namespace tervane
