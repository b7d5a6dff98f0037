// Web host extraction on arbitrary text: whatever the text, the host is lower case, says
// nothing for schemes other than http and https, holds nothing a browser refuses in a
// host name, reads back as itself from its own address, and does not change with what a
// browser shows after it (a path or query with spaces, backslashes, "|", "[", bad escapes).
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "base/Text.h"
#include "stage/StageRecords.h"

using namespace tervane;

namespace {

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && Text::asciiLower(text.substr(0, prefix.size())) == prefix;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const TabFacts tab{"", url, false};
  const std::string host = tab.host();

  if (!host.empty()) {
    fuzz::require(startsWithNoCase(url, "http:") || startsWithNoCase(url, "https:"),
                  "a host only comes from an http or https address", url);
  }
  for (char c : host) {
    fuzz::require(!(c >= 'A' && c <= 'Z'), "a host has no upper-case letter", host);
  }
  fuzz::require(Text::lowercased(host) == host, "a host is already lower case", host);
  fuzz::require(host.find('\0') == std::string::npos, "a host holds no NUL", url);
  if (host.find(':') != std::string::npos) {
    fuzz::require(host.find_first_not_of("0123456789abcdef:.") == std::string::npos,
                  "only an IPv6 address holds a colon, and comes without brackets", host);
  } else {
    for (char c : host) {
      const auto u = static_cast<unsigned char>(c);
      fuzz::require(
          u > 0x20 && u != 0x7f && std::string("#%/<>?@[\\]^|").find(c) == std::string::npos,
          "a host name holds no space, control or delimiter", host);
    }
  }

  if (!host.empty() && host.find(':') == std::string::npos && host.rfind("www.", 0) != 0) {
    const TabFacts own{"", "https://" + host + "/", false};
    fuzz::require(own.host() == host, "a host reads back as itself from its own address", host);
    const TabFacts shown{"", "HTTP://" + host + "\\a b/c?q=|[x]{y}^%zz#\xC3\xA9", false};
    fuzz::require(shown.host() == host, "what follows the host does not change it", host);
  }

  // The name a person reads falls back to the host, then to the address itself.
  const TabFacts untitled{" \n", url, false};
  const std::string name = untitled.readableName();
  fuzz::require(name == (host.empty() ? url : host), "an untitled tab is named by host or URL",
                name);
  return 0;
}
