#include "base/ISOTime.h"

#include <chrono>
#include <cstdio>

namespace tervane::ISOTime {
using namespace std::chrono;

std::string format(TimePoint t) {
  const auto secs = floor<seconds>(t);
  const auto day = floor<days>(secs);
  const year_month_day ymd{day};
  const hh_mm_ss hms{secs - day};
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(ymd.year()),
                unsigned(ymd.month()), unsigned(ymd.day()), int(hms.hours().count()),
                int(hms.minutes().count()), int(hms.seconds().count()));
  return buffer;
}

std::string now(const Clock& clock) { return format(clock.now()); }

namespace {
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}
}  // namespace

std::optional<TimePoint> parse(std::string_view text) {
  // 0123456789012345678 9
  // yyyy-MM-ddTHH:mm:ssZ
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  auto y = digits(text, 0, 4), mo = digits(text, 5, 2), d = digits(text, 8, 2);
  auto h = digits(text, 11, 2), mi = digits(text, 14, 2), s = digits(text, 17, 2);
  if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
  const year_month_day ymd{year(*y), month(unsigned(*mo)), day(unsigned(*d))};
  if (!ymd.ok() || *h > 23 || *mi > 59 || *s > 59) return std::nullopt;
  return TimePoint(sys_days(ymd) + hours(*h) + minutes(*mi) + seconds(*s));
}

std::optional<double> millis(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  auto t = parse(*text);
  if (!t) return std::nullopt;
  return double(duration_cast<seconds>(t->time_since_epoch()).count()) * 1000.0;
}

}  // namespace tervane::ISOTime
