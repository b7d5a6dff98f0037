#include "surfaces/ReplyDescriptor.h"

#include <charconv>

#include "base/Text.h"

namespace tervane {

ReplyDescriptor ReplyDescriptor::list(std::vector<ReplyDescriptor> items) {
  ReplyDescriptor d;
  d.value_ = std::move(items);
  return d;
}
ReplyDescriptor ReplyDescriptor::integer(std::int64_t value) {
  ReplyDescriptor d;
  d.value_ = value;
  return d;
}
ReplyDescriptor ReplyDescriptor::boolean(bool value) {
  ReplyDescriptor d;
  d.value_ = value;
  return d;
}
ReplyDescriptor ReplyDescriptor::string(std::string value) {
  ReplyDescriptor d;
  d.value_ = std::move(value);
  return d;
}

ReplyDescriptor::Type ReplyDescriptor::type() const {
  switch (value_.index()) {
    case 1: return Type::list;
    case 2: return Type::integer;
    case 3: return Type::boolean;
    case 4: return Type::string;
    default: return Type::missing;
  }
}

const std::vector<ReplyDescriptor>* ReplyDescriptor::items() const {
  return std::get_if<List>(&value_);
}

int ReplyDescriptor::numberOfItems() const {
  const auto* list = items();
  return list ? static_cast<int>(list->size()) : 0;
}

std::optional<ReplyDescriptor> ReplyDescriptor::item(int index) const {
  const auto* list = items();
  if (!list || index < 1 || index > static_cast<int>(list->size())) return std::nullopt;
  return (*list)[static_cast<std::size_t>(index - 1)];
}

std::optional<std::string> ReplyDescriptor::stringValue() const {
  if (const auto* s = std::get_if<std::string>(&value_)) return *s;
  if (const auto* n = std::get_if<std::int64_t>(&value_)) return std::to_string(*n);
  if (const auto* b = std::get_if<bool>(&value_)) return *b ? "true" : "false";
  return std::nullopt;
}

std::int32_t ReplyDescriptor::int32Value() const {
  if (const auto* n = std::get_if<std::int64_t>(&value_)) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*n));
  }
  if (const auto* b = std::get_if<bool>(&value_)) return *b ? 1 : 0;
  if (const auto* s = std::get_if<std::string>(&value_)) {
    const auto text = Text::trimmed(*s);
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size()) return value;
  }
  return 0;
}

bool ReplyDescriptor::booleanValue() const {
  if (const auto* b = std::get_if<bool>(&value_)) return *b;
  if (const auto* n = std::get_if<std::int64_t>(&value_)) return *n != 0;
  if (const auto* s = std::get_if<std::string>(&value_)) {
    const auto lower = Text::asciiLower(*s);
    return lower == "true" || lower == "yes";
  }
  return false;
}

// The list readers walk the items in place (1...n in order): window replies carry tens
// of thousands of tab items, and copying each one first would dominate a read.
std::vector<std::string> ReplyDescriptor::stringList() const {
  std::vector<std::string> out;
  const auto* list = items();
  if (!list) return out;
  out.reserve(list->size());
  for (const auto& d : *list) {
    if (const auto* s = std::get_if<std::string>(&d.value_)) {
      out.push_back(*s);
    } else {
      out.push_back(d.stringValue().value_or(""));
    }
  }
  return out;
}

std::vector<std::int64_t> ReplyDescriptor::intList() const {
  std::vector<std::int64_t> out;
  const auto* list = items();
  if (!list) return out;
  out.reserve(list->size());
  for (const auto& d : *list) out.push_back(d.int32Value());
  return out;
}

std::vector<bool> ReplyDescriptor::boolList() const {
  std::vector<bool> out;
  const auto* list = items();
  if (!list) return out;
  out.reserve(list->size());
  for (const auto& d : *list) {
    if (d.type() == Type::missing) {
      out.push_back(false);
    } else if (d.type() == Type::boolean) {
      out.push_back(d.booleanValue());
    } else if (auto text = d.stringValue()) {
      const auto lower = Text::asciiLower(*text);
      out.push_back(lower == "true" || lower == "yes");
    } else {
      out.push_back(d.booleanValue());
    }
  }
  return out;
}

nlohmann::json ReplyDescriptor::toJson() const {
  switch (type()) {
    case Type::list: {
      auto array = nlohmann::json::array();
      for (const auto& d : *items()) array.push_back(d.toJson());
      return array;
    }
    case Type::integer: return std::get<std::int64_t>(value_);
    case Type::boolean: return std::get<bool>(value_);
    case Type::string: return std::get<std::string>(value_);
    case Type::missing: return nullptr;
  }
  return nullptr;
}

}  // namespace tervane
