// Strict JSON decoding for the stored records: a wrong shape gives no value, never a
// crash or an exception to the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tervane::jsonread {

using json = nlohmann::json;

// Thrown inside decoders only; `decode` turns it into no value.
struct ShapeError : std::exception {
  const char* what() const noexcept override { return "unexpected JSON shape"; }
};

inline const json& required(const json& object, const char* key) {
  if (!object.is_object()) throw ShapeError{};
  auto it = object.find(key);
  if (it == object.end()) throw ShapeError{};
  return *it;
}

inline std::string string(const json& value) {
  if (!value.is_string()) throw ShapeError{};
  return value.get<std::string>();
}
inline bool boolean(const json& value) {
  if (!value.is_boolean()) throw ShapeError{};
  return value.get<bool>();
}
inline std::int64_t integer(const json& value) {
  if (!value.is_number_integer()) throw ShapeError{};
  return value.get<std::int64_t>();
}
inline int smallInteger(const json& value) {
  const auto n = integer(value);
  if (n < INT32_MIN || n > INT32_MAX) throw ShapeError{};
  return static_cast<int>(n);
}
inline double number(const json& value) {
  if (!value.is_number()) throw ShapeError{};
  return value.get<double>();
}

// An optional key: absent or null is no value; any other wrong type is a shape error.
template <class Fn>
auto optional(const json& object, const char* key, Fn&& read)
    -> std::optional<decltype(read(object))> {
  if (!object.is_object()) throw ShapeError{};
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  return read(*it);
}

// Runs a decoder, giving none when the JSON had the wrong shape.
template <class T, class Fn>
std::optional<T> tryDecode(Fn&& decoder) noexcept {
  try {
    return decoder();
  } catch (const ShapeError&) {
  } catch (const nlohmann::json::exception&) {
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

// JSON text of a value. Bytes that are not UTF-8 (a window title may hold any) become
// U+FFFD instead of failing the whole write: one odd title must never cost a stage.
inline std::string dumpText(const json& value, int indent = -1) {
  return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

// Parses text into JSON, or none when it is not JSON.
inline std::optional<json> parse(std::string_view text) {
  json parsed = json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) return std::nullopt;
  return parsed;
}

}  // namespace tervane::jsonread
