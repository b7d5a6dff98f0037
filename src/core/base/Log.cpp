#include "base/Log.h"

#include <cstdio>

namespace tervane {
namespace {
std::mutex sinkMutex;
std::shared_ptr<LogSink>& currentSink() {
  static std::shared_ptr<LogSink> sink = std::make_shared<StderrLogSink>();
  return sink;
}
}  // namespace

const char* rawValue(LogLevel level) {
  switch (level) {
    case LogLevel::debug: return "debug";
    case LogLevel::info: return "info";
    case LogLevel::notice: return "notice";
    case LogLevel::error: return "error";
    case LogLevel::fault: return "fault";
  }
  return "info";
}

void StderrLogSink::write(const LogRecord& r) {
  if (static_cast<int>(r.level) < static_cast<int>(minimum_)) return;
  std::fprintf(stderr, "[%s:%s] %s: %s\n", r.subsystem.c_str(), r.category.c_str(),
               rawValue(r.level), r.message.c_str());
}

void RecordingLogSink::write(const LogRecord& record) {
  std::lock_guard lock(mutex_);
  records_.push_back(record);
}

std::vector<LogRecord> RecordingLogSink::records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

Log::Log(std::string category, std::string subsystem)
    : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

void Log::write(LogLevel level, const std::string& message) const {
  auto target = sink();
  target->write(LogRecord{level, subsystem_, category_, message});
}

void Log::setSink(std::shared_ptr<LogSink> sink) {
  std::lock_guard lock(sinkMutex);
  currentSink() = sink ? std::move(sink) : std::make_shared<StderrLogSink>();
}

std::shared_ptr<LogSink> Log::sink() {
  std::lock_guard lock(sinkMutex);
  return currentSink();
}

}  // namespace tervane
