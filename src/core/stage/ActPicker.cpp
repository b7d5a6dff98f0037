#include "stage/ActPicker.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "base/Log.h"
#include "base/Text.h"

namespace tervane {

std::string ActPicker::instructions(std::string_view computer) {
  return "A person has said the one thing they are doing right now. You see a list of the apps "
         "or browser tabs open on their " +
         std::string(computer) +
         ". Choose only the items they need for that one thing. Everything you do not choose "
         "is hidden, never closed, and comes back when they are done. Keep few items. Chat, "
         "social media, video and unrelated tabs are hidden unless the task names them.";
}

const char* const ActPicker::kKeepDescription =
    "The exact names, copied from the list, of the items this person needs for the one thing "
    "they said they are doing. Everything else will be hidden, not closed.";

namespace {

bool endsWith(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The model side of the picker: availability, prewarm and one bounded request.
namespace OnDevice {

using SteadyClock = std::chrono::steady_clock;

// Built per use rather than kept in a static: a request thread may still log while the
// process is shutting down.
Log log() {
  return Log("join");
}

// The answer, shared between the caller that waits and the request that fills it. The
// request may outlive the wait; it then finds the box abandoned and keeps its result to
// itself. Whichever comes first, the request's end or the caller giving up, is the one
// outcome that is logged: a time-out is one entry, never followed by the cancelled
// request's failure or a late answer.
class Box {
 public:
  // False when the caller has already given up on this request.
  bool set(std::optional<std::set<std::string>> value) {
    std::lock_guard guard(lock_);
    if (abandoned_) return false;
    value_ = std::move(value);
    finished_ = true;
    return true;
  }
  std::optional<std::set<std::string>> get() const {
    std::lock_guard guard(lock_);
    return value_;
  }
  // False when the request finished first (just as the wait ran out): its result stands.
  bool abandon() {
    std::lock_guard guard(lock_);
    if (finished_) return false;
    abandoned_ = true;
    return true;
  }

 private:
  mutable std::mutex lock_;
  std::optional<std::set<std::string>> value_;
  bool finished_ = false;
  bool abandoned_ = false;
};

class Semaphore {
 public:
  void signal() {
    {
      std::lock_guard guard(mutex_);
      ++count_;
    }
    changed_.notify_one();
  }
  // False when the deadline passed first.
  bool waitUntil(SteadyClock::time_point deadline) {
    std::unique_lock guard(mutex_);
    if (!changed_.wait_until(guard, deadline, [this] { return count_ > 0; })) return false;
    --count_;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

ListSchema keepSchema() {
  return ListSchema{"Keep", "keep", ActPicker::kKeepDescription};
}

std::string seconds(double value) {
  return std::to_string(value);
}  // printf's "%f"

bool isAvailable(LanguageModelService* model) {
  const auto availability =
      model ? model->availability() : ModelAvailability::no("no language model on this system");
  if (!availability.available) log().info("model not available: " + availability.reason);
  return availability.available;
}

void prewarm(LanguageModelService& model, const std::string& instructions) {
  model.prewarm(instructions);
}

Result<std::vector<std::string>> respond(LanguageModelService& model,
                                         const StructuredRequest& request, std::stop_token stop) {
  // The request runs on a thread of its own, where an escaping exception would end the
  // process; a misbehaving service counts as a failed request instead.
  try {
    return model.respond(request, std::move(stop));
  } catch (const std::exception& e) {
    return Error{e.what()};
  } catch (...) {
    return Error{"unknown failure"};
  }
}

// How long to wait: a limit that is not a positive number does not wait at all, and an
// absurdly long one is cut to an hour so the deadline cannot overflow.
SteadyClock::duration waitFor(double timeout) {
  const double bounded = timeout > 0 ? std::min(timeout, 3600.0) : 0.0;
  return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(bounded));
}

std::optional<std::set<std::string>> pick(std::shared_ptr<LanguageModelService> model,
                                          const std::string& instructions, const std::string& line,
                                          const std::vector<std::string>& items, double timeout) {
  auto box = std::make_shared<Box>();
  auto answered = std::make_shared<Semaphore>();
  std::stop_source stop;
  StructuredRequest request{instructions, ActPicker::prompt(line, items), keepSchema()};
  const auto deadline = SteadyClock::now() + waitFor(timeout);

  // Everything the request touches is owned by the request itself, so it may finish after
  // this call has given up and returned.
  auto task = [model = std::move(model), request = std::move(request), items, box, answered,
               token = stop.get_token()] {
    const auto start = SteadyClock::now();
    auto answer = respond(*model, request, token);
    const double elapsed = std::chrono::duration<double>(SteadyClock::now() - start).count();
    if (answer.ok()) {
      auto kept = ActPicker::match(answer.value(), items);
      const auto keptCount = kept.size();
      if (box->set(std::move(kept))) {
        log().info("answered: kept " + std::to_string(keptCount) + " of " +
                   std::to_string(items.size()) + " in " + seconds(elapsed) + "s");
      }
    } else if (box->set(std::nullopt)) {
      log().error("failed after " + seconds(elapsed) + "s: " + answer.error().message);
    }
    answered->signal();
  };
  try {
    std::thread(std::move(task)).detach();
  } catch (const std::system_error& e) {
    log().error("failed after " + seconds(0) + "s: " + e.what());
    return std::nullopt;
  }

  if (!answered->waitUntil(deadline) && box->abandon()) {
    log().info("timed out at " + seconds(timeout) + "s, the clock decides");
    stop.request_stop();
    return std::nullopt;
  }
  return box->get();
}

}  // namespace OnDevice
}  // namespace

ActPicker::ActPicker(std::shared_ptr<LanguageModelService> model, double timeout,
                     std::string computer)
    : model_(std::move(model)), timeout_(timeout), instructions_(instructions(computer)) {}

bool ActPicker::isAvailable() {
  return OnDevice::isAvailable(model_.get());
}

void ActPicker::prewarm() {
  if (OnDevice::isAvailable(model_.get())) OnDevice::prewarm(*model_, instructions_);
}

std::optional<std::set<std::string>> ActPicker::pick(const std::string& line,
                                                     const std::vector<std::string>& items) {
  const auto trimmed = Text::trimmed(line);
  if (trimmed.empty() || items.empty()) return std::nullopt;
  if (!OnDevice::isAvailable(model_.get())) return std::nullopt;
  return OnDevice::pick(model_, instructions_, trimmed, items, timeout_);
}

std::set<std::string> ActPicker::strip(std::string_view prefix,
                                       const std::set<std::string>& items) {
  std::set<std::string> names;
  for (const auto& item : items) {
    if (item.starts_with(prefix)) names.insert(item.substr(prefix.size()));
  }
  return names;
}

std::set<std::string> ActPicker::match(const std::vector<std::string>& answers,
                                       const std::vector<std::string>& items) {
  std::set<std::string> kept;
  for (const auto& raw : answers) {
    const auto answer = Text::trimmed(raw);
    if (answer.empty()) continue;
    auto found = std::find(items.begin(), items.end(), answer);
    if (found == items.end()) {
      // A bare application name finds "app: Name"; "- app: Name" copied with the list's
      // dash finds it too.
      found = std::find_if(items.begin(), items.end(), [&](const std::string& item) {
        return endsWith(item, answer) || endsWith(answer, item);
      });
    }
    if (found != items.end()) kept.insert(*found);
  }
  return kept;
}

std::string ActPicker::prompt(const std::string& line, const std::vector<std::string>& items) {
  std::string text = "The one thing: " + line + "\n\nOpen now:\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += "\n";
    text += "- " + items[i];
  }
  return text;
}

}  // namespace tervane
