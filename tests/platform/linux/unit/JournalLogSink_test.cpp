#include "linux/JournalLogSink.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "support/TempDir.h"

namespace tervane::x11 {
namespace {

using testing::TempDir;

TEST(JournalLogSink, SendsEveryFieldARefusedRecordGoesToTheFallbackAndOnlyASocketIsAJournal) {
  std::vector<std::vector<std::string>> sent;
  auto fallback = std::make_shared<RecordingLogSink>();
  JournalLogSink sink(
      [&](const std::vector<std::string>& fields) {
        sent.push_back(fields);
        return 0;
      },
      fallback);

  const std::pair<LogLevel, const char*> levels[] = {{LogLevel::debug, "PRIORITY=7"},
                                                     {LogLevel::info, "PRIORITY=6"},
                                                     {LogLevel::notice, "PRIORITY=5"},
                                                     {LogLevel::error, "PRIORITY=3"},
                                                     {LogLevel::fault, "PRIORITY=2"}};
  for (const auto& [level, priority] : levels) {
    sent.clear();
    sink.write(LogRecord{level, "org.tervane.now", "login",
                         "login item register failed: 100% gone\nsecond line"});
    ASSERT_EQ(sent.size(), 1u);
    const std::vector<std::string> expected = {
        "MESSAGE=login item register failed: 100% gone\nsecond line", priority,
        "SYSLOG_IDENTIFIER=tervane-now", "TERVANE_SUBSYSTEM=org.tervane.now",
        "TERVANE_CATEGORY=login"};
    EXPECT_EQ(sent[0], expected);
  }
  EXPECT_TRUE(fallback->records().empty());

  // A record the journal refuses goes to the fallback.
  JournalLogSink refusing([](const std::vector<std::string>&) { return -ENOENT; }, fallback);
  refusing.write(LogRecord{LogLevel::error, "org.tervane.now", "join", "picker timed out"});
  ASSERT_EQ(fallback->records().size(), 1u);
  EXPECT_EQ(fallback->records()[0].message, "picker timed out");
  EXPECT_EQ(fallback->records()[0].category, "join");

  // The journal is chosen only when its socket exists.
  TempDir dir;
  const auto socketPath = dir / "journal.socket";
  EXPECT_NE(dynamic_cast<StderrLogSink*>(makeSystemLogSink(socketPath).get()), nullptr);

  testing::writeText(socketPath, "");
  EXPECT_NE(dynamic_cast<StderrLogSink*>(makeSystemLogSink(socketPath).get()), nullptr)
      << "a plain file is not a journal";
  std::filesystem::remove(socketPath);

  const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.native().size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_NE(dynamic_cast<JournalLogSink*>(makeSystemLogSink(socketPath).get()), nullptr);
  ::close(fd);
}

}  // namespace
}  // namespace tervane::x11
