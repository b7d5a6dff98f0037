// A value or an error, returned where an operation can fail. Failures travel as values:
// nothing in the core throws across an interface.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tervane {

struct Error {
  std::string message;
  int code = 0;  // errno or a platform number where one exists, else 0

  friend bool operator==(const Error&, const Error&) = default;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Error error) : state_(std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

// The success-or-error form for operations without a value.
struct Done {
  friend bool operator==(const Done&, const Done&) = default;
};
using Status = Result<Done>;

inline Status success() { return Done{}; }

}  // namespace tervane
