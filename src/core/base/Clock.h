// Time as the rest of the system sees it. Production code reads the system clock; tests
// drive a manual clock so that fallbacks, throttles and fades run without sleeping.
#pragma once

#include <chrono>
#include <mutex>

namespace tervane {

using TimePoint = std::chrono::system_clock::time_point;
using Seconds = std::chrono::duration<double>;

// Converts fractional seconds to the clock's duration.
inline std::chrono::system_clock::duration toDuration(double seconds) {
  return std::chrono::duration_cast<std::chrono::system_clock::duration>(Seconds(seconds));
}

// Seconds from `from` to `to`, positive when `to` is later.
inline double secondsBetween(TimePoint from, TimePoint to) {
  return std::chrono::duration_cast<Seconds>(to - from).count();
}

class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint now() const = 0;
};

class SystemClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::system_clock::now(); }
};

// A clock that moves only when told. Safe to read from any thread.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(TimePoint start = defaultStart()) : now_(start) {}

  TimePoint now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void set(TimePoint t) {
    std::lock_guard lock(mutex_);
    now_ = t;
  }
  void advance(double seconds) {
    std::lock_guard lock(mutex_);
    now_ += toDuration(seconds);
  }

  // 2025-01-02T03:04:05Z: a fixed, readable instant for tests.
  static TimePoint defaultStart() { return TimePoint(std::chrono::seconds(1735787045)); }

 private:
  mutable std::mutex mutex_;
  TimePoint now_;
};

}  // namespace tervane
