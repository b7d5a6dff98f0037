#include "stage/StageRecords.h"

#include <uriparser/Uri.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "base/ISOTime.h"
#include "base/Json.h"
#include "base/Text.h"

namespace tervane {
using nlohmann::json;
namespace J = tervane::jsonread;

namespace {

std::string range(const UriTextRangeA& r) {
  if (r.first == nullptr || r.afterLast == nullptr) return {};
  return std::string(r.first, r.afterLast);
}

// The URL's scheme and host as written, or none when it does not parse.
struct SchemeAndHost {
  std::string scheme;
  std::string host;
  bool mustCheckHost = true;  // a name, not an IP literal: one a browser would refuse is no host
};

std::optional<SchemeAndHost> strictSchemeAndHost(const std::string& url) {
  UriUriA uri;
  const char* errorPos = nullptr;
  if (uriParseSingleUriExA(&uri, url.data(), url.data() + url.size(), &errorPos) !=
      URI_SUCCESS) {
    return std::nullopt;
  }
  SchemeAndHost parts{range(uri.scheme), range(uri.hostText), uri.hostData.ip6 == nullptr};
  // Browsers know no "[v...]" address of a future IP version: no host.
  if (uri.hostData.ipFuture.first != nullptr) parts.host.clear();
  uriFreeUriMembersA(&uri);
  return parts;
}

// Addresses that browsers show but the strict parse refuses (a query holding "|", "[" or
// a space, a backslash, a bad escape, a non-ASCII path or host) are read the way a
// browser reads them: after "scheme:" and any slashes or backslashes, the authority runs
// to the first "/", "\", "?" or "#"; the host is what follows the last "@", without the
// port, and an IPv6 address loses its brackets.
std::optional<SchemeAndHost> looseSchemeAndHost(std::string_view url) {
  const auto colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const auto scheme = url.substr(0, colon);
  const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!isAlpha(scheme[0])) return std::nullopt;
  for (char c : scheme) {
    if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
      return std::nullopt;
    }
  }
  auto rest = url.substr(colon + 1);
  rest.remove_prefix(std::min(rest.find_first_not_of("/\\"), rest.size()));
  auto authority = rest.substr(0, rest.find_first_of("/\\?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  SchemeAndHost parts{std::string(scheme), "", true};
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    const auto address = authority.substr(1, close == std::string_view::npos ? 0 : close - 1);
    if (close != std::string_view::npos &&
        address.find_first_not_of("0123456789abcdefABCDEF:.") == std::string_view::npos) {
      parts.host = address;
    }
    parts.mustCheckHost = false;  // only hexadecimal digits, colons and dots got here
  } else {
    parts.host = authority.substr(0, authority.find(':'));
  }
  return parts;
}

// A host a browser would refuse: a control character, a space or a delimiter.
bool hasForbiddenHostCharacter(std::string_view host) {
  return std::any_of(host.begin(), host.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7f ||
           std::string_view("#%/:<>?@[\\]^|").find(c) != std::string_view::npos;
  });
}

// Percent-encoded host characters read as the characters they stand for.
std::string unescaped(std::string host) {
  if (host.find('%') == std::string::npos) return host;
  std::vector<char> buffer(host.begin(), host.end());
  buffer.push_back('\0');
  uriUnescapeInPlaceExA(buffer.data(), URI_FALSE, URI_BR_DONT_TOUCH);
  return buffer.data();
}

// An internationalised host keeps its Unicode form, lower-cased and composed (NFC), the
// way the address bar shows it; a host that arrives in its ASCII form ("xn--...") stays
// in that form. Every ASCII host thus reads as it always has, and so do the "host:"
// memories made from it. Bytes that are not UTF-8 are no host.
//
// Composing comes last: lower-casing can undo a composition ("İ" before a combining grave
// has no composed form, "i" before one has), and a host must read back as itself.
std::string normalisedHost(const std::string& host) {
  const bool ascii = std::all_of(host.begin(), host.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return Text::asciiLower(host);
  const std::string lower = Text::lowercased(host);
  utf8proc_uint8_t* composed =
      utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(lower.c_str()));
  if (composed == nullptr) return "";
  std::string result(reinterpret_cast<const char*>(composed));
  std::free(composed);
  return result;
}

void putIf(json& object, const char* key, const std::optional<std::string>& value) {
  if (value) object[key] = *value;
}
template <class N>
void putIf(json& object, const char* key, const std::optional<N>& value) {
  if (value) object[key] = *value;
}

}  // namespace

std::string TabFacts::host() const {
  auto parts = strictSchemeAndHost(url);
  if (!parts) parts = looseSchemeAndHost(url);
  if (!parts || parts->scheme.empty()) return "";
  const auto scheme = Text::asciiLower(parts->scheme);
  if (scheme != "http" && scheme != "https") return "";
  const auto raw = unescaped(std::move(parts->host));
  if (parts->mustCheckHost && hasForbiddenHostCharacter(raw)) return "";
  std::string host = normalisedHost(raw);
  if (host.rfind("www.", 0) == 0) host.erase(0, 4);
  return host;
}

std::string TabFacts::readableName() const {
  auto title = Text::trimmed(this->title);
  if (!title.empty()) return title;
  auto h = host();
  if (!h.empty()) return h;
  return url;
}

std::string WindowFacts::stageId() const { return rawValue(browser) + ":" + std::to_string(windowId); }

std::string WindowFacts::readableName() const {
  const auto n = tabs.size();
  return displayName(browser) + " window, " + std::to_string(n) + " tab" + (n == 1 ? "" : "s");
}

std::set<std::string> WindowFacts::hosts() const {
  std::set<std::string> result;
  for (const auto& tab : tabs) {
    auto h = tab.host();
    if (!h.empty()) result.insert(std::move(h));
  }
  return result;
}

std::optional<TabFacts> WindowFacts::activeTab() const {
  for (const auto& tab : tabs) {
    if (tab.isActive) return tab;
  }
  if (tabs.empty()) return std::nullopt;
  return tabs.front();
}

std::string rawValue(StageItem::Kind kind) {
  switch (kind) {
    case StageItem::Kind::app: return "app";
    case StageItem::Kind::tab: return "tab";
    case StageItem::Kind::window: return "window";
  }
  return "app";
}

std::optional<StageItem::Kind> stageItemKindFromRaw(std::string_view raw) {
  if (raw == "app") return StageItem::Kind::app;
  if (raw == "tab") return StageItem::Kind::tab;
  if (raw == "window") return StageItem::Kind::window;
  return std::nullopt;
}

std::optional<BrowserKind> StageItem::browserKind() const {
  if (!browser) return std::nullopt;
  return browserKindFromRaw(*browser);
}

StageItem StageItem::app(const std::string& bundleId, const std::string& name) {
  StageItem item;
  item.id = bundleId;
  item.kind = Kind::app;
  item.name = name;
  return item;
}

std::vector<StageItem> StageItem::forWindow(const WindowFacts& window) {
  std::vector<StageItem> items;
  items.reserve(window.tabs.size() + 1);
  const auto windowId = window.stageId();
  const auto browser = rawValue(window.browser);

  StageItem head;
  head.id = windowId;
  head.kind = Kind::window;
  head.name = window.readableName();
  head.browser = browser;
  head.tabCount = static_cast<int>(window.tabs.size());
  items.push_back(std::move(head));

  for (std::size_t i = 0; i < window.tabs.size(); ++i) {
    StageItem tab;
    tab.id = windowId + "#" + std::to_string(i);
    tab.kind = Kind::tab;
    tab.name = window.tabs[i].readableName();
    tab.url = window.tabs[i].url;
    tab.browser = browser;
    tab.parentId = windowId;
    items.push_back(std::move(tab));
  }
  return items;
}

GuardEvent GuardEvent::make(std::string itemId, std::string name, bool letThrough,
                            const Clock& clock) {
  return GuardEvent{std::move(itemId), std::move(name), letThrough, ISOTime::now(clock)};
}

std::optional<BrowserKind> ResumeMark::browserKind() const {
  if (!browser) return std::nullopt;
  return browserKindFromRaw(*browser);
}

// ---- JSON ------------------------------------------------------------------

json toJson(const StageItem& item) {
  json object = {{"id", item.id}, {"kind", rawValue(item.kind)}, {"name", item.name}};
  putIf(object, "url", item.url);
  putIf(object, "browser", item.browser);
  putIf(object, "parentId", item.parentId);
  putIf(object, "tabCount", item.tabCount);
  return object;
}

json toJson(const GuardEvent& event) {
  return {{"itemId", event.itemId}, {"name", event.name}, {"letThrough", event.letThrough},
          {"at", event.at}};
}

json toJson(const ResumeMark& mark) {
  json object = {{"bundleId", mark.bundleId}, {"appName", mark.appName}};
  putIf(object, "browser", mark.browser);
  putIf(object, "windowId", mark.windowId);
  putIf(object, "tabIndex", mark.tabIndex);
  putIf(object, "tabUrl", mark.tabUrl);
  return object;
}

json toJson(const StageSnapshot& s) {
  json stowed = json::array(), kept = json::array();
  for (const auto& item : s.stowed) stowed.push_back(toJson(item));
  for (const auto& item : s.kept) kept.push_back(toJson(item));
  json object = {{"takenAt", s.takenAt}, {"actionText", s.actionText}, {"stowed", stowed},
                 {"kept", kept}};
  if (s.guardEvents) {
    json events = json::array();
    for (const auto& e : *s.guardEvents) events.push_back(toJson(e));
    object["guardEvents"] = events;
  }
  putIf(object, "parkedAt", s.parkedAt);
  if (s.mark) object["mark"] = toJson(*s.mark);
  return object;
}

json toJson(const TabFacts& tab) {
  return {{"title", tab.title}, {"url", tab.url}, {"isActive", tab.isActive}};
}

json toJson(const WindowFacts& w) {
  json tabs = json::array();
  for (const auto& tab : w.tabs) tabs.push_back(toJson(tab));
  return {{"browser", rawValue(w.browser)}, {"windowId", w.windowId}, {"tabs", tabs},
          {"isFrontmost", w.isFrontmost}, {"isMinimized", w.isMinimized}};
}

namespace {

StageItem readStageItem(const json& j) {
  StageItem item;
  item.id = J::string(J::required(j, "id"));
  auto kind = stageItemKindFromRaw(J::string(J::required(j, "kind")));
  if (!kind) throw J::ShapeError{};
  item.kind = *kind;
  item.name = J::string(J::required(j, "name"));
  item.url = J::optional(j, "url", J::string);
  item.browser = J::optional(j, "browser", J::string);
  item.parentId = J::optional(j, "parentId", J::string);
  item.tabCount = J::optional(j, "tabCount", J::smallInteger);
  return item;
}

GuardEvent readGuardEvent(const json& j) {
  return GuardEvent{J::string(J::required(j, "itemId")), J::string(J::required(j, "name")),
                    J::boolean(J::required(j, "letThrough")), J::string(J::required(j, "at"))};
}

ResumeMark readResumeMark(const json& j) {
  ResumeMark mark;
  mark.bundleId = J::string(J::required(j, "bundleId"));
  mark.appName = J::string(J::required(j, "appName"));
  mark.browser = J::optional(j, "browser", J::string);
  mark.windowId = J::optional(j, "windowId", J::integer);
  mark.tabIndex = J::optional(j, "tabIndex", J::smallInteger);
  mark.tabUrl = J::optional(j, "tabUrl", J::string);
  return mark;
}

template <class T, class Read>
std::vector<T> readArray(const json& j, Read&& read) {
  if (!j.is_array()) throw J::ShapeError{};
  std::vector<T> out;
  out.reserve(j.size());
  for (const auto& element : j) out.push_back(read(element));
  return out;
}

StageSnapshot readSnapshot(const json& j) {
  StageSnapshot s;
  s.takenAt = J::string(J::required(j, "takenAt"));
  s.actionText = J::string(J::required(j, "actionText"));
  s.stowed = readArray<StageItem>(J::required(j, "stowed"), readStageItem);
  s.kept = readArray<StageItem>(J::required(j, "kept"), readStageItem);
  s.guardEvents = J::optional(j, "guardEvents", [](const json& a) {
    return readArray<GuardEvent>(a, readGuardEvent);
  });
  s.parkedAt = J::optional(j, "parkedAt", J::string);
  s.mark = J::optional(j, "mark", readResumeMark);
  return s;
}

TabFacts readTab(const json& j) {
  return TabFacts{J::string(J::required(j, "title")), J::string(J::required(j, "url")),
                  J::boolean(J::required(j, "isActive"))};
}

WindowFacts readWindow(const json& j) {
  WindowFacts w;
  auto kind = browserKindFromRaw(J::string(J::required(j, "browser")));
  if (!kind) throw J::ShapeError{};
  w.browser = *kind;
  w.windowId = J::integer(J::required(j, "windowId"));
  w.tabs = readArray<TabFacts>(J::required(j, "tabs"), readTab);
  w.isFrontmost = J::boolean(J::required(j, "isFrontmost"));
  w.isMinimized = J::boolean(J::required(j, "isMinimized"));
  return w;
}

}  // namespace

std::optional<StageItem> decodeStageItem(const json& j) {
  return J::tryDecode<StageItem>([&] { return readStageItem(j); });
}
std::optional<GuardEvent> decodeGuardEvent(const json& j) {
  return J::tryDecode<GuardEvent>([&] { return readGuardEvent(j); });
}
std::optional<ResumeMark> decodeResumeMark(const json& j) {
  return J::tryDecode<ResumeMark>([&] { return readResumeMark(j); });
}
std::optional<StageSnapshot> decodeStageSnapshot(const json& j) {
  return J::tryDecode<StageSnapshot>([&] { return readSnapshot(j); });
}
std::optional<TabFacts> decodeTabFacts(const json& j) {
  return J::tryDecode<TabFacts>([&] { return readTab(j); });
}
std::optional<WindowFacts> decodeWindowFacts(const json& j) {
  return J::tryDecode<WindowFacts>([&] { return readWindow(j); });
}

}  // namespace tervane
