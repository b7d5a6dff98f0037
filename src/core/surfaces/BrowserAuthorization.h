// Whether this application may control a browser: the closed answer of every permission
// query. Only `allowed` lets scripts be sent.
#pragma once

#include <iosfwd>
#include <string>

namespace tervane {

class BrowserAuthorization {
 public:
  enum class Type { unknown, allowed, denied, needsConsent, notRunning, busy };

  // The platform's automation status: 0 allowed, -1743 denied, -1744 needs consent,
  // -600 not running, any other number unknown with that number.
  static BrowserAuthorization fromStatus(int status);

  // `status` is the platform's number, 0 when no query could be made.
  static BrowserAuthorization unknown(int status) {
    return BrowserAuthorization(Type::unknown, status);
  }
  static BrowserAuthorization allowed() { return BrowserAuthorization(Type::allowed); }
  static BrowserAuthorization denied() { return BrowserAuthorization(Type::denied); }
  static BrowserAuthorization needsConsent() { return BrowserAuthorization(Type::needsConsent); }
  static BrowserAuthorization notRunning() { return BrowserAuthorization(Type::notRunning); }
  static BrowserAuthorization busy() { return BrowserAuthorization(Type::busy); }

  Type type() const { return type_; }
  // The number of `unknown`; 0 for the other cases.
  int status() const { return status_; }
  bool canRead() const { return type_ == Type::allowed; }

  // "allowed", "unknown(-1)", ...
  std::string description() const;

  friend bool operator==(const BrowserAuthorization&, const BrowserAuthorization&) = default;

 private:
  explicit BrowserAuthorization(Type type, int status = 0) : type_(type), status_(status) {}

  Type type_;
  int status_;
};

std::ostream& operator<<(std::ostream& out, const BrowserAuthorization& authorization);

}  // namespace tervane
