#include "stage/ActPicker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <semaphore>
#include <stdexcept>

#include "base/Log.h"

namespace tervane {
namespace {

using Items = std::vector<std::string>;
using Kept = std::set<std::string>;
using Answer = Result<Items>;

// A model that gives what `reply` returns and records what it is asked; the test reads the
// records only once the picker has the answer. It tells the test when its last owner
// (possibly the request's own thread) has let it go.
class FakeModel final : public LanguageModelService {
 public:
  using Reply = std::function<Answer(std::stop_token)>;
  FakeModel(std::counting_semaphore<>& gone, Reply reply) : gone_(gone), reply_(std::move(reply)) {}
  ~FakeModel() override { gone_.release(); }

  ModelAvailability availability() override { return available; }
  void prewarm(const std::string& instructions) override { prewarmedWith.push_back(instructions); }
  Answer respond(const StructuredRequest& request, std::stop_token stop) override {
    requests.push_back(request);
    return reply_(stop);
  }

  ModelAvailability available = ModelAvailability::yes();
  std::vector<StructuredRequest> requests;
  Items prewarmedWith;

 private:
  std::counting_semaphore<>& gone_;
  Reply reply_;
};

class ActPickerTest : public ::testing::Test {
 protected:
  void SetUp() override { Log::setSink(sink_); }
  void TearDown() override {
    while (made_ > 0) waitUntilGone();  // no test ends with a request still running
    Log::setSink(nullptr);
  }

  std::shared_ptr<FakeModel> model(FakeModel::Reply reply) {
    ++made_;
    return std::make_shared<FakeModel>(gone_, std::move(reply));
  }
  void waitUntilGone() {
    gone_.acquire();
    --made_;
  }

  std::vector<LogRecord> logged(const std::string& start) const {
    std::vector<LogRecord> found;
    for (const auto& r : sink_->records()) {
      EXPECT_EQ(r.category, "join");
      if (r.message.starts_with(start)) found.push_back(r);
    }
    return found;
  }

  std::shared_ptr<RecordingLogSink> sink_ = std::make_shared<RecordingLogSink>();
  std::counting_semaphore<> gone_{0};
  int made_ = 0;
};

TEST_F(ActPickerTest, AnAnswerIsMatchedOntoTheItemsAndTheRequestIsBuiltFromTheTrimmedLine) {
  auto fake = model([](std::stop_token) -> Answer {
    return Items{"Mail", "  tab: Inbox \n", "Calendar"};
  });
  ActPicker picker(fake, 10);
  EXPECT_EQ(picker.pick("  write the report\n", {"app: Mail", "tab: Inbox", "app: Music"}),
            (Kept{"app: Mail", "tab: Inbox"}));
  ASSERT_EQ(fake->requests.size(), 1u);
  EXPECT_EQ(
      fake->requests[0].prompt,
      "The one thing: write the report\n\nOpen now:\n- app: Mail\n- tab: Inbox\n- app: Music");
  EXPECT_EQ(fake->requests[0].instructions, picker.instructions());
  const auto answered = logged("answered: kept 2 of 3 in ");
  ASSERT_EQ(answered.size(), 1u);
  EXPECT_EQ(answered[0].level, LogLevel::info);

  // Nothing to ask, or no model, gives none without a request. Prewarming passes the
  // instructions while the model is available, and nothing after.
  EXPECT_TRUE(picker.isAvailable());
  picker.prewarm();
  EXPECT_EQ(fake->prewarmedWith, Items{picker.instructions()});
  EXPECT_EQ(picker.pick(" \t\n", {"app: Mail"}), std::nullopt);
  EXPECT_EQ(picker.pick("write", {}), std::nullopt);

  fake->available = ModelAvailability::no("not configured");
  EXPECT_FALSE(picker.isAvailable());
  picker.prewarm();
  EXPECT_EQ(picker.pick("write", {"app: Mail"}), std::nullopt);
  EXPECT_EQ(fake->requests.size(), 1u);
  EXPECT_EQ(fake->prewarmedWith.size(), 1u);
  const auto unavailable = logged("model not available: not configured");
  EXPECT_EQ(unavailable.size(), 3u);
  EXPECT_EQ(unavailable[0].level, LogLevel::info);

  EXPECT_FALSE(ActPicker(nullptr).isAvailable());
  EXPECT_EQ(ActPicker(nullptr).pick("write", {"app: Mail"}), std::nullopt);

  // Answers map onto the offered items, each once.
  const Items items{"app: Mail", "tab: Inbox", "tab: Notes", "Notes"};
  EXPECT_EQ(ActPicker::match({"Notes"}, items), Kept{"Notes"}) << "an equal item wins";
  EXPECT_EQ(ActPicker::match({"Mail", "app: Mail", "- app: Mail"}, items), Kept{"app: Mail"});
  EXPECT_EQ(ActPicker::match({"", "  \n", "mail"}, items), Kept{})
      << "blank answers would otherwise end every item";
  EXPECT_EQ(ActPicker::match({"Mail"}, {" app: Mail"}), Kept{" app: Mail"})
      << "items stay as given";
}

// A service that throws counts as a failed request.
TEST_F(ActPickerTest, AFailedRequestGivesNoneAndLogsAnError) {
  const std::pair<FakeModel::Reply, const char*> cases[] = {
      {[](std::stop_token) -> Answer { return Error{"server down"}; }, "server down"},
      {[](std::stop_token) -> Answer { throw std::runtime_error("broken service"); },
       "broken service"}};
  for (const auto& [reply, why] : cases) {
    EXPECT_EQ(ActPicker(model(reply), 10).pick("write", {"app: Mail"}), std::nullopt);
    const auto failed = logged("failed after ");
    ASSERT_FALSE(failed.empty());
    EXPECT_EQ(failed.back().level, LogLevel::error);
    EXPECT_TRUE(failed.back().message.ends_with(std::string("s: ") + why)) << failed.back().message;
  }
  while (made_ > 0) waitUntilGone();
  EXPECT_EQ(logged("failed after ").size(), 2u);
}

// A time-out is one entry at info level, whether the abandoned request later answers or
// fails as cancelled, and the abandoned request is asked to stop.
TEST_F(ActPickerTest, ATimeOutGivesNoneAndOneInfoEntryWhateverTheRequestDoesAfterwards) {
  for (const bool failsWhenStopped : {false, true}) {
    std::latch release{1};
    std::atomic<bool> sawStop = false;
    // Held until released, so the pick returns only because of the limit.
    auto held = model([&](std::stop_token stop) -> Answer {
      release.wait();
      sawStop = stop.stop_requested();
      if (failsWhenStopped) return Error{"cancelled"};
      return Items{"app: Mail"};
    });
    EXPECT_EQ(ActPicker(held, 0.05).pick("write", {"app: Mail"}), std::nullopt);
    release.count_down();
    held.reset();
    waitUntilGone();  // the request has ended and logged whatever it logs
    EXPECT_TRUE(sawStop) << failsWhenStopped;
  }
  const auto records = sink_->records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_EQ(record.message, "timed out at 0.050000s, the clock decides");
    EXPECT_EQ(record.level, LogLevel::info);
  }
}

}  // namespace
}  // namespace tervane
