#include "companion/NativeFraming.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tervane::companion {
namespace {

// A frame of `body` whose length prefix says `length`, or the body's true length.
std::string frame(std::string_view body, std::optional<std::uint32_t> length = {}) {
  const auto said = length.value_or(static_cast<std::uint32_t>(body.size()));
  std::string out(4, '\0');
  std::memcpy(out.data(), &said, 4);
  return out.append(body);
}

// Brackets and an escaped quote inside a string do not count as nesting.
TEST(NativeFraming, MessagesSurviveAnySplitOfTheStreamAndWantedStopsAtAFramesEnd) {
  const nlohmann::json first = {
      {"id", 1}, {"title", "Caf\xC3\xA9" + std::string(100, '[') + "\"" + std::string(100, '{')}};
  const nlohmann::json second = {{"id", 2}};
  const std::string stream =
      NativeFraming::encode(first).value() + NativeFraming::encode(second).value();
  for (std::size_t step = 1; step <= stream.size(); ++step) {
    FrameReader reader;
    std::vector<nlohmann::json> got;
    for (std::size_t at = 0; at < stream.size(); at += step) {
      reader.feed(std::string_view(stream).substr(at, step));
      for (auto next = reader.next(); next && next.value(); next = reader.next()) {
        got.push_back(*next.value());
      }
    }
    EXPECT_EQ(got, (std::vector<nlohmann::json>{first, second})) << "pieces of " << step;
    EXPECT_EQ(reader.pending(), 0u);
  }

  // What the reader wants stops at the end of a frame.
  FrameReader reader;
  EXPECT_EQ(reader.wanted(), 4u);
  reader.feed(frame("{}").substr(0, 3));
  EXPECT_EQ(reader.wanted(), 1u);
  reader.feed(frame("{}").substr(3, 2));
  EXPECT_EQ(reader.wanted(), 1u);  // one byte of the body is still missing
  reader.feed("}");
  EXPECT_TRUE(reader.next().value().has_value());
  EXPECT_EQ(reader.wanted(), 4u);
}

TEST(NativeFraming, BadFramesBreakTheStreamAndAreNeverWritten) {
  const std::string deep = std::string(NativeFraming::kMaxDepth + 1, '[') +
                           std::string(NativeFraming::kMaxDepth + 1, ']');
  const std::pair<const char*, std::string> cases[] = {
      {"not JSON", frame("{\"id\":")}, {"an array", frame("[1]")}, {"a string", frame("\"x\"")},
      {"empty body", frame("")}, {"bad UTF-8", frame("{\"t\":\"\xC3\x28\"}")},
      {"overlong UTF-8", frame("{\"t\":\"\xC0\xAF\"}")},
      {"nested too deep", frame("{\"a\":" + deep + "}")},
      {"longer than taken", frame("{}", NativeFraming::kMaxMessageBytes + 1)},
      {"longer than the browser's limit", frame("{}", 0xFFFFFFFFu)}};
  for (const auto& [what, bytes] : cases) {
    FrameReader reader;
    reader.feed(bytes + frame("{}"));
    EXPECT_FALSE(reader.next().ok()) << what;
    EXPECT_TRUE(reader.broken()) << what;
    EXPECT_FALSE(reader.next().ok()) << what << ": a later good frame is not read";
  }
  // Encoding refuses what the browser would not take.
  const nlohmann::json big = {{"t", std::string(NativeFraming::kBrowserInboundLimit, 'x')}};
  EXPECT_EQ(NativeFraming::encode(big).error().code, EMSGSIZE);
  EXPECT_TRUE(NativeFraming::encode(big, NativeFraming::kMaxMessageBytes).ok());
  EXPECT_FALSE(NativeFraming::encode({{"t", "\xFF"}}).ok());
}

}  // namespace
}  // namespace tervane::companion
