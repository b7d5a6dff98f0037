#include "surfaces/AppleScriptError.h"

#include <ostream>

namespace tervane {

AppleScriptError::AppleScriptError(int osaError, std::string message) {
  switch (osaError) {
    case -1743:
      type_ = Type::notPermitted;
      break;
    case -600:
    case -609:
      type_ = Type::notRunning;
      break;
    case -1728:
      type_ = Type::staleReference;
      break;
    default:
      type_ = Type::failed;
      code_ = osaError;
      message_ = std::move(message);
  }
}

AppleScriptError AppleScriptError::failed(int code, std::string message) {
  AppleScriptError error(Type::failed);
  error.code_ = code;
  error.message_ = std::move(message);
  return error;
}

std::string AppleScriptError::description() const {
  switch (type_) {
    case Type::failed:
      return "failed(" + std::to_string(code_) + ", " + message_ + ")";
    case Type::notPermitted:
      return "notPermitted";
    case Type::notRunning:
      return "notRunning";
    case Type::staleReference:
      return "staleReference";
    case Type::busy:
      return "busy";
  }
  return "failed";
}

std::ostream& operator<<(std::ostream& out, const AppleScriptError& error) {
  return out << error.description();
}

}  // namespace tervane
