#include "control/ControlProtocol.h"

#include <gtest/gtest.h>

namespace tervane {
namespace {

// Requests round trip as one line; replies of the wrong shape, which no other test sends,
// are refused.
TEST(ControlProtocol, RequestsRoundTripAsOneLineAndRepliesOfTheWrongShapeAreRefused) {
  const ControlRequest requests[] = {
      {.command = ControlCommand::capture, .line = "write \"the\"\nreport ✓"},
      {.command = ControlCommand::answer, .answer = false},
      {.command = ControlCommand::status, .until = ControlCondition::shield},
      {.command = ControlCommand::keep, .item = "chrome:12"},
  };
  for (const auto& request : requests) {
    const auto line = ControlProtocol::encode(request);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    auto decoded = ControlProtocol::decodeRequest(line);
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    EXPECT_EQ(decoded.value(), request);
  }
  for (const char* line : {"", "{}", R"({"ok":"yes","message":"x"})", R"({"ok":true})",
                           R"({"ok":true,"message":"x","status":[]})"}) {
    EXPECT_FALSE(ControlProtocol::decodeReply(line).ok()) << line;
  }
}

TEST(ControlProtocol, RequestDecodingIsStrict) {
  const std::pair<const char*, const char*> cases[] = {
      {"not json", "The request is not JSON."},
      {"{\"command\":\"start\"", "The request is not JSON."},
      {"\"start\"", "The request must be one JSON object."},
      {"{}", "The request needs a \"command\" string."},
      {"{\"command\":3}", "The request needs a \"command\" string."},
      {"{\"command\":\"Start\"}", "There is no command \"Start\"."},
      {"{\"command\":\"start\",\"force\":true}", "The request has an unknown key \"force\"."},
      {"{\"command\":\"capture\",\"line\":7}", "The \"line\" must be a string."},
      {"{\"command\":\"capture\"}", "capture needs a \"line\"."},
      {"{\"command\":\"answer\",\"answer\":1}", "The \"answer\" must be true or false."},
      {"{\"command\":\"answer\"}", "answer needs an \"answer\" of true or false."},
      {"{\"command\":\"pause\",\"answer\":true}", "Only answer takes an \"answer\"."},
      {"{\"command\":\"status\",\"line\":\"x\"}", "Only capture takes a \"line\"."},
      {"{\"command\":\"start\",\"until\":\"shield\"}", "Only status takes an \"until\"."},
      {"{\"command\":\"stow\"}", "stow needs an \"item\"."},
      {"{\"command\":\"show\",\"item\":\"x\"}", "Only keep, stow and windows take an \"item\"."},
      {"{\"command\":\"windows\"}", "windows needs an \"item\"."},
      {"{\"command\":\"status\",\"until\":\"later\"}",
       "The \"until\" must be shield, stage, parked, running, closed, settled or companion."},
      {"{\"command\":\"capture\",\"line\":\"\xff\"}", "The request is not JSON."},
  };
  for (const auto& [line, message] : cases) {
    auto decoded = ControlProtocol::decodeRequest(line);
    ASSERT_FALSE(decoded.ok()) << line;
    EXPECT_EQ(decoded.error().message, message) << line;
  }
  // A null is an absent value; a line of 1 MiB of JSON is refused before parsing.
  EXPECT_TRUE(ControlProtocol::decodeRequest(R"({"command":"start","line":null})").ok());
  const std::string huge = R"({"command":"capture","line":")" +
                           std::string(ControlProtocol::kMaxRequestBytes, 'a') + "\"}";
  EXPECT_FALSE(ControlProtocol::decodeRequest(huge).ok());
}

}  // namespace
}  // namespace tervane
