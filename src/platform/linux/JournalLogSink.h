// Log records into the systemd journal, with the subsystem and category kept as fields of
// their own (TERVANE_SUBSYSTEM, TERVANE_CATEGORY) so `journalctl TERVANE_CATEGORY=login`
// finds them. Where there is no journal (no socket, as in containers and on other init
// systems) the composition root gets the standard-error sink instead.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Log.h"

namespace tervane::x11 {

inline constexpr const char* kJournalSocket = "/run/systemd/journal/socket";

class JournalLogSink final : public LogSink {
 public:
  // Sends one entry of "NAME=value" fields; gives 0 or a negative errno, as sd_journal_sendv.
  using Send = std::function<int(const std::vector<std::string>& fields)>;

  // The journal's own sender; a record the journal refuses goes to `fallback` instead of
  // being lost.
  explicit JournalLogSink(Send send = sendToJournal,
                          std::shared_ptr<LogSink> fallback = std::make_shared<StderrLogSink>());

  void write(const LogRecord& record) override;

  // syslog priorities: debug 7, info 6, notice 5, error 3, fault 2.
  static int priority(LogLevel level);
  static std::vector<std::string> fields(const LogRecord& record);
  static int sendToJournal(const std::vector<std::string>& fields);

 private:
  Send send_;
  std::shared_ptr<LogSink> fallback_;
};

// The journal sink when `journalSocket` is a socket, else standard error from `minimum` up.
std::shared_ptr<LogSink> makeSystemLogSink(
    const std::filesystem::path& journalSocket = kJournalSocket,
    LogLevel minimum = LogLevel::debug);

}  // namespace tervane::x11
