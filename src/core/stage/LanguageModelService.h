// A language model that answers one kind of question: given instructions and a prompt,
// a list of strings shaped by a one-property schema. The act picker asks it which open
// items the person's one thing needs. Each platform supplies its own (a local server with
// a chat endpoint on Linux); the picker only relies on what is declared here.
#pragma once

#include <stop_token>
#include <string>
#include <vector>

#include "base/Result.h"

namespace tervane {

struct ModelAvailability {
  bool available = false;
  std::string reason;  // why the model cannot answer, in words a log can carry; "" when it can

  static ModelAvailability yes() { return {true, {}}; }
  static ModelAvailability no(std::string reason) { return {false, std::move(reason)}; }
};

// The shape of the answer: an object named `name` with the one property `property`, a
// list of strings, explained to the model by `description`. Nothing else constrains it.
struct ListSchema {
  std::string name;
  std::string property;
  std::string description;
};

struct StructuredRequest {
  std::string instructions;
  std::string prompt;
  ListSchema schema;
};

// Every operation may be called from any thread; implementations are thread-safe.
class LanguageModelService {
 public:
  virtual ~LanguageModelService() = default;

  // Answers from what is already known and never waits: it is asked on the main thread.
  virtual ModelAvailability availability() = 0;

  // Lets the model load ahead of the first request. Returns at once; whatever loading it
  // starts happens elsewhere and is never reported.
  virtual void prewarm(const std::string& instructions) = 0;

  // Blocks until the model has answered or failed. A stop request asks it to give up
  // early; it may still run to the end, and its answer is then unwanted.
  virtual Result<std::vector<std::string>> respond(const StructuredRequest& request,
                                                   std::stop_token stop) = 0;
};

}  // namespace tervane
