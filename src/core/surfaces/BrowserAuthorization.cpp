#include "surfaces/BrowserAuthorization.h"

#include <ostream>

namespace tervane {

BrowserAuthorization BrowserAuthorization::fromStatus(int status) {
  switch (status) {
    case 0:
      return allowed();
    case -1743:
      return denied();
    case -1744:
      return needsConsent();
    case -600:
      return notRunning();
    default:
      return unknown(status);
  }
}

std::string BrowserAuthorization::description() const {
  switch (type_) {
    case Type::unknown:
      return "unknown(" + std::to_string(status_) + ")";
    case Type::allowed:
      return "allowed";
    case Type::denied:
      return "denied";
    case Type::needsConsent:
      return "needsConsent";
    case Type::notRunning:
      return "notRunning";
    case Type::busy:
      return "busy";
  }
  return "unknown";
}

std::ostream& operator<<(std::ostream& out, const BrowserAuthorization& authorization) {
  return out << authorization.description();
}

}  // namespace tervane
