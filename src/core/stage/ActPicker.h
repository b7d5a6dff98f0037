// The act picker: given the one line the person typed and the names of what is open, it
// asks a language model which of those items that one thing needs. The model is optional
// and slow, so every problem (no model, a failed request, an answer that comes too late)
// is simply no answer, and the planner falls back on its recency rule.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "stage/LanguageModelService.h"

namespace tervane {

class ActPicking {
 public:
  virtual ~ActPicking() = default;

  // Whether asking can give an answer at all. Cheap; may be called on the main thread.
  virtual bool isAvailable() = 0;
  // Lets the model load ahead of the first request. May be called on the main thread.
  virtual void prewarm() = 0;
  // The chosen items, each exactly one of `items`; none when there is no answer. Blocks
  // the calling thread, so it is called off the main thread.
  virtual std::optional<std::set<std::string>> pick(const std::string& line,
                                                    const std::vector<std::string>& items) = 0;
};

class ActPicker final : public ActPicking {
 public:
  static constexpr double kDefaultTimeout = 2.9;

  // The person's machine as the model is told about it.
  static constexpr const char* kThisComputer = "Linux computer";

  // How the one answer property is explained to the model.
  static const char* const kKeepDescription;

  // What the model is told before every request, naming the person's computer.
  static std::string instructions(std::string_view computer);

  // A null model service behaves as one that is never available.
  explicit ActPicker(std::shared_ptr<LanguageModelService> model, double timeout = kDefaultTimeout,
                     std::string computer = kThisComputer);

  double timeout() const { return timeout_; }
  const std::string& instructions() const { return instructions_; }

  bool isAvailable() override;
  void prewarm() override;
  // Never blocks much longer than `timeout` seconds, however long the model takes.
  std::optional<std::set<std::string>> pick(const std::string& line,
                                            const std::vector<std::string>& items) override;

  // The members of `items` that begin with `prefix`, with the prefix removed; the rest are
  // left out. Splits an answer over "app: " and "tab: " items back into names.
  static std::set<std::string> strip(std::string_view prefix, const std::set<std::string>& items);

  // Maps the model's raw answers onto the offered items: for each trimmed, non-blank
  // answer, the first item equal to it, else the first item that ends with it or that it
  // ends with. Answers that find nothing are dropped; every item appears at most once.
  static std::set<std::string> match(const std::vector<std::string>& answers,
                                     const std::vector<std::string>& items);

  // "The one thing: <line>", a blank line, then "Open now:" and one "- <item>" per line.
  static std::string prompt(const std::string& line, const std::vector<std::string>& items);

 private:
  std::shared_ptr<LanguageModelService> model_;
  double timeout_;
  std::string instructions_;
};

// A picker that is never available and never answers.
class NoPicker final : public ActPicking {
 public:
  bool isAvailable() override { return false; }
  void prewarm() override {}
  std::optional<std::set<std::string>> pick(const std::string&,
                                            const std::vector<std::string>&) override {
    return std::nullopt;
  }
};

}  // namespace tervane
