// The log: a few messages, each with the application's subsystem and a category
// ("join" for the picker, "login" for the login item, "files" for a written file whose
// folder could not be synced, "stage" for what did not come back when quitting). The sink is chosen
// once by the composition root (standard error by default; the system journal on Linux desktops);
// tests install a recording sink.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tervane {

enum class LogLevel { debug, info, notice, error, fault };

const char* rawValue(LogLevel level);

struct LogRecord {
  LogLevel level;
  std::string subsystem;
  std::string category;
  std::string message;
};

class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void write(const LogRecord& record) = 0;
};

// Writes records at `minimum` level or above to standard error.
class StderrLogSink final : public LogSink {
 public:
  explicit StderrLogSink(LogLevel minimum = LogLevel::debug) : minimum_(minimum) {}
  void write(const LogRecord& record) override;

 private:
  LogLevel minimum_;
};

// Keeps every record; safe to write from any thread.
class RecordingLogSink final : public LogSink {
 public:
  void write(const LogRecord& record) override;
  std::vector<LogRecord> records() const;

 private:
  mutable std::mutex mutex_;
  std::vector<LogRecord> records_;
};

// The identifier every log message carries as its subsystem.
inline constexpr const char* kAppSubsystem = "org.tervane.now";

class Log {
 public:
  explicit Log(std::string category, std::string subsystem = kAppSubsystem);

  void debug(const std::string& message) const { write(LogLevel::debug, message); }
  void info(const std::string& message) const { write(LogLevel::info, message); }
  void notice(const std::string& message) const { write(LogLevel::notice, message); }
  void error(const std::string& message) const { write(LogLevel::error, message); }
  void write(LogLevel level, const std::string& message) const;

  // Replaces the process-wide sink; passing null restores standard error.
  static void setSink(std::shared_ptr<LogSink> sink);
  static std::shared_ptr<LogSink> sink();

 private:
  std::string subsystem_;
  std::string category_;
};

}  // namespace tervane
