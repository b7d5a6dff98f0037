// The framing browsers use for native messaging: each message is a 4-byte length in the
// machine's byte order followed by that many bytes of UTF-8 JSON. The companion's host
// speaks it to the browser on standard input and output, and the same frames carry the
// messages on to the application over the companion socket.
//
// The browser refuses a message to it longer than 1 MB and sends at most 64 MiB. Our
// messages are far smaller (a listing of 10 windows with 20 tabs each is a few tens of
// kilobytes, and the extension shortens addresses longer than 8 KiB), so a reader takes
// at most `kMaxMessageBytes` and refuses anything longer before reading it, which keeps a
// broken or hostile peer from making us hold 64 MiB per connection.
//
// A frame that is too long, not JSON, not an object, not UTF-8 or nested deeper than
// `kMaxDepth` is refused with an error; after an error the stream has lost its place, so
// the reader stays broken and the caller drops the peer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/Result.h"

namespace tervane::companion {

namespace NativeFraming {
inline constexpr std::size_t kBrowserInboundLimit = 1024 * 1024;        // to the browser
inline constexpr std::size_t kBrowserOutboundLimit = 64 * 1024 * 1024;  // from the browser
inline constexpr std::size_t kMaxMessageBytes = 4 * 1024 * 1024;
inline constexpr int kMaxDepth = 32;

// The frame for `message`; an error when its text is longer than `limit`.
[[nodiscard]] Result<std::string> encode(const nlohmann::json& message,
                                         std::size_t limit = kBrowserInboundLimit);

// Parses one message body: a JSON object in valid UTF-8, at most `kMaxDepth` deep.
[[nodiscard]] Result<nlohmann::json> decodeBody(std::string_view body);
}  // namespace NativeFraming

class FrameReader {
 public:
  explicit FrameReader(std::size_t maxBytes = NativeFraming::kMaxMessageBytes)
      : maxBytes_(maxBytes) {}

  // Adds bytes as they arrive, in pieces of any size.
  void feed(std::string_view bytes);

  // The next whole message, nothing while one is incomplete, or the error that broke the
  // stream (repeated on every later call).
  [[nodiscard]] Result<std::optional<nlohmann::json>> next();

  // How many bytes the reader still wants before it can answer, at least 1; lets a
  // caller read exactly one frame from a stream without taking bytes of the next.
  std::size_t wanted() const;

  bool broken() const { return error_.has_value(); }
  // Bytes received and not yet handed out as a message.
  std::size_t pending() const { return buffer_.size() - consumed_; }

 private:
  std::size_t maxBytes_;
  std::string buffer_;
  std::size_t consumed_ = 0;
  std::optional<Error> error_;
};

}  // namespace tervane::companion
