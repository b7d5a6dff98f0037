// Reply assembly and the reply readers on arbitrary data. The first part of the input
// becomes the six lists a window read answers, in lengths that need not line up; the
// rest becomes a reply value of any shape. Assembly is checked against a plain model of
// the rule: lists that do not line up give no windows, otherwise every window with tabs
// is reported in order with its own run of tabs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "base/Json.h"
#include "base/Text.h"
#include "surfaces/BrowserAdapters.h"

using namespace tervane;

namespace {

struct Lists {
  std::vector<std::int64_t> ids;
  std::vector<bool> minimized;
  std::vector<std::int64_t> counts;
  std::vector<std::string> titles;
  std::vector<std::string> urls;
  std::vector<bool> actives;
};

std::int64_t someInteger(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return input.ConsumeIntegralInRange<std::int64_t>(-2, 6);
    case 1:
      return input.ConsumeIntegral<std::int32_t>();
    default:
      return input.ConsumeIntegral<std::int64_t>();
  }
}

Lists someLists(FuzzedDataProvider& input) {
  Lists l;
  const auto windows = input.ConsumeIntegralInRange<std::size_t>(0, 8);
  const auto tabs = input.ConsumeIntegralInRange<std::size_t>(0, 24);
  // Each list is usually as long as its fellows and sometimes one longer or shorter.
  auto length = [&](std::size_t n) {
    switch (input.ConsumeIntegralInRange(0, 7)) {
      case 0:
        return n + 1;
      case 1:
        return n > 0 ? n - 1 : n;
      default:
        return n;
    }
  };
  for (std::size_t i = length(windows); i > 0; --i) l.ids.push_back(someInteger(input));
  for (std::size_t i = length(windows); i > 0; --i) l.minimized.push_back(input.ConsumeBool());
  for (std::size_t i = length(windows); i > 0; --i) l.counts.push_back(someInteger(input));
  for (std::size_t i = length(tabs); i > 0; --i)
    l.titles.push_back(input.ConsumeRandomLengthString(12));
  for (std::size_t i = length(tabs); i > 0; --i)
    l.urls.push_back(input.ConsumeRandomLengthString(24));
  for (std::size_t i = length(tabs); i > 0; --i) l.actives.push_back(input.ConsumeBool());
  return l;
}

// The rule written out the long way, with counts summed in wide arithmetic.
std::vector<WindowFacts> model(BrowserKind kind, const Lists& l) {
  const auto n = l.ids.size();
  const auto t = l.titles.size();
  if (l.minimized.size() != n || l.counts.size() != n) return {};
  if (l.urls.size() != t || l.actives.size() != t) return {};
  __int128 total = 0;
  for (auto c : l.counts) {
    if (c < 0) return {};
    total += c;
  }
  if (total != static_cast<__int128>(t)) return {};
  std::vector<WindowFacts> out;
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (l.counts[i] == 0) continue;
    WindowFacts w{kind, l.ids[i], {}, i == 0, l.minimized[i]};
    for (std::int64_t k = 0; k < l.counts[i]; ++k, ++at) {
      w.tabs.push_back(TabFacts{l.titles[at], l.urls[at], l.actives[at]});
    }
    out.push_back(std::move(w));
  }
  return out;
}

ReplyDescriptor someReply(FuzzedDataProvider& input, int depth) {
  switch (input.ConsumeIntegralInRange(0, depth > 3 ? 3 : 5)) {
    case 0:
      return ReplyDescriptor::integer(someInteger(input));
    case 1:
      return ReplyDescriptor::boolean(input.ConsumeBool());
    case 2:
      return ReplyDescriptor::string(input.ConsumeRandomLengthString(16));
    case 3:
      return ReplyDescriptor::missing();
    default: {
      std::vector<ReplyDescriptor> items(input.ConsumeIntegralInRange<std::size_t>(0, 8));
      for (auto& item : items) item = someReply(input, depth + 1);
      return ReplyDescriptor::list(std::move(items));
    }
  }
}

void checkReaders(const ReplyDescriptor& reply) {
  const auto n = static_cast<std::size_t>(std::max(reply.numberOfItems(), 0));
  const auto strings = reply.stringList();
  const auto ints = reply.intList();
  const auto bools = reply.boolList();
  fuzz::require(strings.size() == n && ints.size() == n && bools.size() == n,
                "every reader reads every item");
  fuzz::require(!reply.item(0) && !reply.item(static_cast<int>(n) + 1),
                "items are numbered from 1 to their count");
  for (std::size_t i = 0; i < n; ++i) {
    const auto item = reply.item(static_cast<int>(i) + 1);
    fuzz::require(item.has_value(), "an item inside the count exists");
    fuzz::require(ints[i] >= INT32_MIN && ints[i] <= INT32_MAX, "integers are 32-bit values");
    if (item->type() == ReplyDescriptor::Type::boolean) {
      fuzz::require(bools[i] == item->booleanValue(), "a Boolean item reads as itself");
    }
    if (item->type() == ReplyDescriptor::Type::string) {
      fuzz::require(strings[i] == *item->stringValue(), "a string item reads as itself");
      const auto lower = Text::asciiLower(strings[i]);
      fuzz::require(bools[i] == (lower == "true" || lower == "yes"),
                    "a text item is true exactly when it says true or yes", strings[i]);
    }
    if (item->type() == ReplyDescriptor::Type::list ||
        item->type() == ReplyDescriptor::Type::missing) {
      fuzz::require(strings[i].empty() && ints[i] == 0, "a list or missing item reads empty");
    }
  }
  (void)jsonread::dumpText(reply.toJson());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const ChromiumAdapter chrome(BrowserKind::chrome);
  const SafariAdapter safari;
  const BrowserAdapter& adapter =
      input.ConsumeBool() ? static_cast<const BrowserAdapter&>(safari) : chrome;

  const Lists lists = someLists(input);
  const auto windows = adapter.assemble(lists.ids, lists.minimized, lists.counts, lists.titles,
                                        lists.urls, lists.actives);
  fuzz::require(windows == model(adapter.kind(), lists), "assembly follows the rule");

  const ReplyDescriptor reply = someReply(input, 0);
  checkReaders(reply);
  const auto read = adapter.windowsFromReply(reply);
  if (reply.numberOfItems() != 6) {
    fuzz::require(read.empty(), "a reply that is not six lists gives no windows");
  }
  for (const auto& w : read) {
    fuzz::require(!w.tabs.empty(), "a window without tabs is never reported");
    fuzz::require(w.windowId >= INT32_MIN && w.windowId <= INT32_MAX,
                  "window ids are read as 32-bit values");
  }
  return 0;
}
