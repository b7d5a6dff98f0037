#include "stage/ActPicker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <mutex>
#include <stdexcept>

#include "base/Log.h"

namespace tervane {
namespace {

using Items = std::vector<std::string>;
using Kept = std::set<std::string>;

// A model that answers at once, fails, throws, or holds its answer (or, as a cancelled
// request does, its failure) until the test releases it. It tells the test when the last owner
// (possibly the request's own thread) has let it go, so no test ends with a request still running.
class FakeModel final : public LanguageModelService {
 public:
  enum class Mode { answer, fail, raise, hold, holdThenFail };

  FakeModel(Mode mode, std::latch& gone, std::atomic<bool>& sawStop)
      : mode_(mode), gone_(gone), sawStop_(sawStop) {}
  ~FakeModel() override { gone_.count_down(); }

  ModelAvailability availability() override { return availability_; }
  void prewarm(const std::string& instructions) override {
    std::lock_guard lock(mutex_);
    prewarmedWith_.push_back(instructions);
  }
  Result<std::vector<std::string>> respond(const StructuredRequest& request,
                                           std::stop_token stop) override {
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    switch (mode_) {
      case Mode::fail:
        return Error{"server down"};
      case Mode::raise:
        throw std::runtime_error("broken service");
      case Mode::hold:
      case Mode::holdThenFail:
        release_.wait();
        sawStop_ = stop.stop_requested();
        if (mode_ == Mode::holdThenFail) return Error{"cancelled"};
        break;
      case Mode::answer:
        break;
    }
    return answer_;
  }

  void setUnavailable(std::string reason) { availability_ = ModelAvailability::no(reason); }
  void setAnswer(std::vector<std::string> answer) { answer_ = std::move(answer); }
  void release() { release_.count_down(); }
  std::vector<StructuredRequest> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<std::string> prewarmedWith() const {
    std::lock_guard lock(mutex_);
    return prewarmedWith_;
  }

 private:
  Mode mode_;
  std::latch& gone_;
  std::atomic<bool>& sawStop_;
  std::latch release_{1};
  ModelAvailability availability_ = ModelAvailability::yes();
  std::vector<std::string> answer_;
  mutable std::mutex mutex_;
  std::vector<StructuredRequest> requests_;
  std::vector<std::string> prewarmedWith_;
};

class ActPickerTest : public ::testing::Test {
 protected:
  void SetUp() override { Log::setSink(sink_); }
  void TearDown() override {
    picker_.reset();
    if (model_) {
      model_.reset();
      gone_.wait();  // the request thread, if any, is done with everything
    }
    Log::setSink(nullptr);
  }

  // A picker on a model that answers at once, with a limit it never comes near.
  ActPicker& make() {
    model_ = std::make_shared<FakeModel>(FakeModel::Mode::answer, gone_, sawStop_);
    picker_.emplace(model_, 10);
    return *picker_;
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
  std::latch gone_{1};
  std::atomic<bool> sawStop_{false};
  std::shared_ptr<FakeModel> model_;
  std::optional<ActPicker> picker_;
};

TEST_F(ActPickerTest, AnAnswerIsMatchedOntoTheItemsAndTheRequestIsBuiltFromTheTrimmedLine) {
  auto& picker = make();
  model_->setAnswer({"Mail", "  tab: Inbox \n", "Calendar"});
  EXPECT_EQ(picker.pick("  write the report\n", {"app: Mail", "tab: Inbox", "app: Music"}),
            (Kept{"app: Mail", "tab: Inbox"}));

  const auto requests = model_->requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(
      requests[0].prompt,
      "The one thing: write the report\n\nOpen now:\n- app: Mail\n- tab: Inbox\n- app: Music");
  EXPECT_EQ(requests[0].instructions, picker.instructions());
  const auto answered = logged("answered: kept 2 of 3 in ");
  ASSERT_EQ(answered.size(), 1u);
  EXPECT_EQ(answered[0].level, LogLevel::info);

  // Nothing to ask, or no model, gives none without a request. Prewarming passes the
  // instructions while the model is available, and nothing after.
  EXPECT_TRUE(picker.isAvailable());
  picker.prewarm();
  EXPECT_EQ(model_->prewarmedWith(), std::vector<std::string>{picker.instructions()});
  EXPECT_EQ(picker.pick(" \t\n", {"app: Mail"}), std::nullopt);
  EXPECT_EQ(picker.pick("write", {}), std::nullopt);

  model_->setUnavailable("not configured");
  EXPECT_FALSE(picker.isAvailable());
  picker.prewarm();
  EXPECT_EQ(picker.pick("write", {"app: Mail"}), std::nullopt);
  EXPECT_EQ(model_->requests().size(), 1u);
  EXPECT_EQ(model_->prewarmedWith().size(), 1u);
  const auto unavailable = logged("model not available: not configured");
  EXPECT_EQ(unavailable.size(), 3u);
  EXPECT_EQ(unavailable[0].level, LogLevel::info);

  EXPECT_FALSE(ActPicker(nullptr).isAvailable());
  EXPECT_EQ(ActPicker(nullptr).pick("write", {"app: Mail"}), std::nullopt);
}

// A service that throws counts as a failed request.
TEST_F(ActPickerTest, AFailedRequestGivesNoneAndLogsAnError) {
  std::latch gone{2};
  for (const auto& [mode, why] : {std::pair{FakeModel::Mode::fail, "server down"},
                                  std::pair{FakeModel::Mode::raise, "broken service"}}) {
    EXPECT_EQ(ActPicker(std::make_shared<FakeModel>(mode, gone, sawStop_), 10)
                  .pick("write", {"app: Mail"}),
              std::nullopt);
    const auto failed = logged("failed after ");
    ASSERT_FALSE(failed.empty());
    EXPECT_EQ(failed.back().level, LogLevel::error);
    EXPECT_TRUE(failed.back().message.ends_with(std::string("s: ") + why)) << failed.back().message;
  }
  gone.wait();
  EXPECT_EQ(logged("failed after ").size(), 2u);
}

// A time-out is one entry at info level, whether the abandoned request later answers or
// fails as cancelled, and the abandoned request is asked to stop.
TEST_F(ActPickerTest, ATimeOutGivesNoneAndOneInfoEntryWhateverTheRequestDoesAfterwards) {
  for (auto mode : {FakeModel::Mode::hold, FakeModel::Mode::holdThenFail}) {
    std::latch gone{1};
    sawStop_ = false;
    auto model = std::make_shared<FakeModel>(mode, gone, sawStop_);
    model->setAnswer({"app: Mail"});
    // The model holds its answer until released, so this returns only because of the limit.
    EXPECT_EQ(ActPicker(model, 0.05).pick("write", {"app: Mail"}), std::nullopt);
    model->release();
    model.reset();
    gone.wait();  // the request has ended and logged whatever it logs
    EXPECT_TRUE(sawStop_) << static_cast<int>(mode);
  }
  const auto records = sink_->records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_EQ(record.message, "timed out at 0.050000s, the clock decides");
    EXPECT_EQ(record.level, LogLevel::info);
  }
}

TEST(ActPickerMatch, AnswersMapOntoOfferedItemsOnce) {
  const Items items{"app: Mail", "tab: Inbox", "tab: Notes", "Notes"};
  EXPECT_EQ(ActPicker::match({"Mail", " tab: Inbox\t", "Calendar"}, items),
            (Kept{"app: Mail", "tab: Inbox"}));
  EXPECT_EQ(ActPicker::match({"Notes"}, items), Kept{"Notes"}) << "an equal item wins";
  EXPECT_EQ(ActPicker::match({"Mail", "app: Mail", "- app: Mail"}, items), Kept{"app: Mail"});
  EXPECT_EQ(ActPicker::match({"", "  \n", "mail"}, items), Kept{})
      << "blank answers would otherwise end every item";
  EXPECT_EQ(ActPicker::match({"Mail"}, {" app: Mail"}), Kept{" app: Mail"})
      << "items stay as given";
  // Stripping keeps only the members with the prefix, without it.
  EXPECT_EQ(ActPicker::strip("app: ", {"app: Mail", "tab: Mail"}), Kept{"Mail"});
  EXPECT_EQ(ActPicker::strip("tab: ", {"tab: Inbox", "tab: Mail", "app: x"}),
            (Kept{"Inbox", "Mail"}));
}

}  // namespace
}  // namespace tervane
