#include "linux/JournalLogSink.h"

#include <sys/uio.h>
#include <systemd/sd-journal.h>

#include <system_error>

namespace tervane::x11 {

JournalLogSink::JournalLogSink(Send send, std::shared_ptr<LogSink> fallback)
    : send_(std::move(send)), fallback_(std::move(fallback)) {}

int JournalLogSink::priority(LogLevel level) {
  switch (level) {
    case LogLevel::debug:
      return 7;
    case LogLevel::info:
      return 6;
    case LogLevel::notice:
      return 5;
    case LogLevel::error:
      return 3;
    case LogLevel::fault:
      return 2;
  }
  return 6;
}

std::vector<std::string> JournalLogSink::fields(const LogRecord& record) {
  return {"MESSAGE=" + record.message, "PRIORITY=" + std::to_string(priority(record.level)),
          "SYSLOG_IDENTIFIER=tervane-now", "TERVANE_SUBSYSTEM=" + record.subsystem,
          "TERVANE_CATEGORY=" + record.category};
}

int JournalLogSink::sendToJournal(const std::vector<std::string>& fields) {
  // The vector form: field values may hold any byte, and no format string is involved.
  std::vector<iovec> parts;
  parts.reserve(fields.size());
  for (const auto& field : fields) {
    parts.push_back(iovec{const_cast<char*>(field.data()), field.size()});
  }
  return sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
}

void JournalLogSink::write(const LogRecord& record) {
  if (send_(fields(record)) < 0 && fallback_) fallback_->write(record);
}

std::shared_ptr<LogSink> makeSystemLogSink(const std::filesystem::path& journalSocket,
                                           LogLevel minimum) {
  std::error_code ec;
  if (std::filesystem::is_socket(journalSocket, ec)) {
    return std::make_shared<JournalLogSink>(JournalLogSink::sendToJournal,
                                            std::make_shared<StderrLogSink>(minimum));
  }
  return std::make_shared<StderrLogSink>(minimum);
}

}  // namespace tervane::x11
