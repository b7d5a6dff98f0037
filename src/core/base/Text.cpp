#include "base/Text.h"

#include <utf8proc.h>

#include <algorithm>
#include <cctype>

namespace tervane::Text {
namespace {

constexpr utf8proc_int32_t kInvalid = -1;

// Decodes one code point at `at`; an invalid sequence yields kInvalid and one byte.
std::pair<utf8proc_int32_t, std::size_t> decode(std::string_view text, std::size_t at) {
  const auto first = static_cast<unsigned char>(text[at]);
  if (first < 0x80) return {first, 1};
  utf8proc_int32_t cp = 0;
  const auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                                  static_cast<utf8proc_ssize_t>(text.size() - at), &cp);
  if (n <= 0) return {kInvalid, 1};
  return {cp, static_cast<std::size_t>(n)};
}

bool isSpace(utf8proc_int32_t cp) {
  if (cp == kInvalid) return false;
  if (cp < 0x80) return cp == ' ' || (cp >= 0x09 && cp <= 0x0D);
  if (cp == 0x85) return true;
  switch (utf8proc_category(cp)) {
    case UTF8PROC_CATEGORY_ZS:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
      return true;
    default:
      return false;
  }
}

// Calls `onBoundary(byteOffset)` before each user-perceived character; stops when it
// returns false.
template <class Fn>
void forEachCharacter(std::string_view text, Fn&& onBoundary) {
  utf8proc_int32_t state = 0;
  utf8proc_int32_t previous = kInvalid;
  std::size_t at = 0;
  while (at < text.size()) {
    auto [cp, length] = decode(text, at);
    const bool breaks = previous == kInvalid || cp == kInvalid ||
                        utf8proc_grapheme_break_stateful(previous, cp, &state);
    if (breaks && !onBoundary(at)) return;
    if (cp == kInvalid) state = 0;
    previous = cp;
    at += length;
  }
}

}  // namespace

std::string trimmed(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    auto [cp, length] = decode(text, start);
    if (!isSpace(cp)) break;
    start += length;
  }
  std::size_t end = text.size();
  while (end > start) {
    // Step back to the lead byte of the last code point (at most three continuation bytes).
    std::size_t lead = end - 1;
    while (lead > start && end - lead < 4 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) {
      --lead;
    }
    auto [cp, length] = decode(text, lead);
    if (lead + length != end) break;  // a stray continuation byte: not white space
    if (!isSpace(cp)) break;
    end = lead;
  }
  return std::string(text.substr(start, end - start));
}

bool isBlank(std::string_view text) { return trimmed(text).empty(); }

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  forEachCharacter(text, [&](std::size_t) {
    ++count;
    return true;
  });
  return count;
}

std::string prefix(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  std::size_t cut = text.size();
  forEachCharacter(text, [&](std::size_t at) {
    if (seen == count) {
      cut = at;
      return false;
    }
    ++seen;
    return true;
  });
  return std::string(text.substr(0, cut));
}

std::string lowercased(std::string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return asciiLower(text);
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    auto [cp, length] = decode(text, at);
    if (cp == kInvalid) {
      out.push_back(text[at]);
    } else {
      utf8proc_uint8_t buffer[4];
      const auto n = utf8proc_encode_char(utf8proc_tolower(cp), buffer);
      out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    }
    at += length;
  }
  return out;
}

std::string asciiUpper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
    return static_cast<char>(std::toupper(c));
  });
  return out;
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
    return static_cast<char>(std::tolower(c));
  });
  return out;
}

}  // namespace tervane::Text
