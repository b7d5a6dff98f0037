// The closed answer of every failed browser call. A script error number from the browser
// maps onto a few cases the callers act on (not permitted, not running, a window or tab
// that vanished, a lane that is busy); everything else keeps its number and message.
// `AppleScriptResult<T>` carries either the call's value or one of these errors.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <variant>

#include "base/Result.h"

namespace tervane {

class AppleScriptError {
 public:
  enum class Type { failed, notPermitted, notRunning, staleReference, busy };

  // From a script error number and message: -1743 not permitted, -600 and -609 not
  // running, -1728 stale reference, any other number failed with the number and message.
  // The message is dropped for the named cases.
  AppleScriptError(int osaError, std::string message);

  static AppleScriptError failed(int code, std::string message);
  static AppleScriptError notPermitted() { return AppleScriptError(Type::notPermitted); }
  static AppleScriptError notRunning() { return AppleScriptError(Type::notRunning); }
  static AppleScriptError staleReference() { return AppleScriptError(Type::staleReference); }
  static AppleScriptError busy() { return AppleScriptError(Type::busy); }

  Type type() const { return type_; }
  // Only `failed` carries a code and a message; the other cases give 0 and "".
  int code() const { return code_; }
  const std::string& message() const { return message_; }

  // "busy", "failed(-2700, boom)", ...
  std::string description() const;

  friend bool operator==(const AppleScriptError&, const AppleScriptError&) = default;

 private:
  explicit AppleScriptError(Type type) : type_(type) {}

  Type type_ = Type::failed;
  int code_ = 0;
  std::string message_;
};

std::ostream& operator<<(std::ostream& out, const AppleScriptError& error);

// A browser call's value or its AppleScriptError.
template <class T>
class [[nodiscard]] AppleScriptResult {
 public:
  AppleScriptResult(T value) : state_(std::move(value)) {}
  AppleScriptResult(AppleScriptError error) : state_(std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const AppleScriptError& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, AppleScriptError> state_;
};

using AppleScriptStatus = AppleScriptResult<Done>;

}  // namespace tervane
