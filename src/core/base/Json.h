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

// Stored records are a few levels deep. Copying, comparing and writing a JSON value
// recurse once per level, so text nested deeper than this is refused before it is
// parsed: a damaged or hostile file must read as no value, not exhaust the stack.
inline constexpr int kDeepestNesting = 256;

// Whether no array or object in the text opens more than `limit` levels deep. Brackets
// inside strings do not count; text that is not JSON may pass and then fails to parse.
inline bool nestedWithin(std::string_view text, int limit = kDeepestNesting) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

// Parses text into JSON, or none when it is not JSON or is nested too deeply.
inline std::optional<json> parse(std::string_view text) {
  if (!nestedWithin(text)) return std::nullopt;
  json parsed = json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) return std::nullopt;
  return parsed;
}

}  // namespace tervane::jsonread
