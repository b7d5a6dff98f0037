// The value a browser script answers with: a list, an integer, a Boolean, a string, or
// missing. Lists number their items from 1, as the scripting language does. The readers
// coerce the way the browsers' replies need: the adapters read the six lists of a window
// reply with `stringList`, `intList` and `boolList`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace tervane {

class ReplyDescriptor {
 public:
  enum class Type { list, integer, boolean, string, missing };

  ReplyDescriptor() = default;  // missing
  static ReplyDescriptor list(std::vector<ReplyDescriptor> items);
  static ReplyDescriptor integer(std::int64_t value);
  static ReplyDescriptor boolean(bool value);
  static ReplyDescriptor string(std::string value);
  static ReplyDescriptor missing() { return ReplyDescriptor(); }

  Type type() const;

  // Items of a list; 0 for anything else.
  int numberOfItems() const;
  // The item at `index` counted from 1, or none outside 1...numberOfItems.
  std::optional<ReplyDescriptor> item(int index) const;
  const std::vector<ReplyDescriptor>* items() const;

  // Coercions: text of a string, integer (decimal) or Boolean ("true"/"false"); none for a
  // list or missing.
  std::optional<std::string> stringValue() const;
  // The 32-bit value of an integer (wrapped), of a decimal string, or of a Boolean (1/0);
  // 0 otherwise.
  std::int32_t int32Value() const;
  // A Boolean as itself, an integer other than 0, a string "true"/"yes" in any case.
  bool booleanValue() const;

  // Per item 1...n: its string value or ""; its 32-bit value or 0; see boolList.
  std::vector<std::string> stringList() const;
  std::vector<std::int64_t> intList() const;
  // A missing item is false; a Boolean is itself; a string is true when it is "true" or
  // "yes" in any case; anything else is its Boolean value.
  std::vector<bool> boolList() const;

  // list → array, integer → number, Boolean → true/false, string → string, missing → null.
  nlohmann::json toJson() const;

  friend bool operator==(const ReplyDescriptor&, const ReplyDescriptor&) = default;

 private:
  struct Missing {
    friend bool operator==(const Missing&, const Missing&) = default;
  };
  using List = std::vector<ReplyDescriptor>;
  std::variant<Missing, List, std::int64_t, bool, std::string> value_;
};

}  // namespace tervane
