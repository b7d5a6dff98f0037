#include "companion/NativeFraming.h"

#include <cstring>

namespace tervane::companion {
namespace {

// The deepest nesting of arrays and objects outside strings, counted before parsing so
// a frame of a million brackets is refused without building a million values.
bool nestedWithin(std::string_view text, int limit) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

}  // namespace

Result<std::string> NativeFraming::encode(const nlohmann::json& message, std::size_t limit) {
  std::string body;
  try {
    body = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
  } catch (const nlohmann::json::exception&) {
    return Error{"the message holds text that is not UTF-8", EINVAL};
  }
  if (body.size() > limit) {
    return Error{"the message is " + std::to_string(body.size()) + " bytes, more than the " +
                     std::to_string(limit) + " a frame may carry",
                 EMSGSIZE};
  }
  const auto length = static_cast<std::uint32_t>(body.size());
  std::string frame(sizeof length, '\0');
  std::memcpy(frame.data(), &length, sizeof length);
  return frame + body;
}

Result<nlohmann::json> NativeFraming::decodeBody(std::string_view body) {
  if (!nestedWithin(body, kMaxDepth)) {
    return Error{"the message is nested more than " + std::to_string(kMaxDepth) + " deep", EBADMSG};
  }
  // The parser checks UTF-8 inside strings; without exceptions a bad text reads as discarded.
  auto parsed = nlohmann::json::parse(body, nullptr, false);
  if (parsed.is_discarded()) return Error{"the message is not JSON in UTF-8", EBADMSG};
  if (!parsed.is_object()) return Error{"the message is not a JSON object", EBADMSG};
  return parsed;
}

void FrameReader::feed(std::string_view bytes) {
  if (error_) return;
  // Drop what was handed out before growing, so a long session keeps one frame's worth.
  if (consumed_ > 0) {
    buffer_.erase(0, consumed_);
    consumed_ = 0;
  }
  buffer_.append(bytes);
}

std::size_t FrameReader::wanted() const {
  const std::size_t have = pending();
  if (have < 4) return 4 - have;
  std::uint32_t length = 0;
  std::memcpy(&length, buffer_.data() + consumed_, sizeof length);
  if (length > maxBytes_) return 1;
  return have - 4 >= length ? 1 : 4 + length - have;
}

Result<std::optional<nlohmann::json>> FrameReader::next() {
  if (error_) return *error_;
  if (pending() < 4) return std::optional<nlohmann::json>{};
  std::uint32_t length = 0;
  std::memcpy(&length, buffer_.data() + consumed_, sizeof length);
  if (length > maxBytes_) {
    error_ = Error{"a frame announces " + std::to_string(length) + " bytes, more than the " +
                       std::to_string(maxBytes_) + " taken",
                   EMSGSIZE};
    buffer_.clear();
    consumed_ = 0;
    return *error_;
  }
  if (pending() - 4 < length) return std::optional<nlohmann::json>{};
  auto message = NativeFraming::decodeBody(std::string_view(buffer_).substr(consumed_ + 4, length));
  consumed_ += 4 + length;
  if (!message) {
    error_ = message.error();
    buffer_.clear();
    consumed_ = 0;
    return *error_;
  }
  return std::optional<nlohmann::json>(std::move(message).value());
}

}  // namespace tervane::companion
