// Web host extraction on arbitrary text: whatever the text, the host is lower case, says
// nothing for schemes other than http and https, and an ordinary host read back from a
// plain address gives itself again.
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

bool plainHostName(const std::string& host) {
  if (host.empty()) return false;
  for (char c : host) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
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
  // Percent escapes are decoded, so only an address without them is sure to give a host
  // without brackets.
  if (url.find('%') == std::string::npos) {
    fuzz::require(host.find('[') == std::string::npos && host.find(']') == std::string::npos,
                  "an IPv6 host comes without its brackets", host);
  }
  fuzz::require(host.find('\0') == std::string::npos, "a host holds no NUL", url);

  if (plainHostName(host) && host.rfind("www.", 0) != 0) {
    const TabFacts again{"", "https://" + host + "/", false};
    fuzz::require(again.host() == host, "a plain host reads back as itself", host);
  }

  // The name a person reads falls back to the host, then to the address itself.
  const TabFacts untitled{" \n", url, false};
  const std::string name = untitled.readableName();
  fuzz::require(name == (host.empty() ? url : host), "an untitled tab is named by host or URL",
                name);
  return 0;
}
